#include "frame/auto_tester.h"

#include <cstdlib>
#include <cstring>

#include "frame/fatal.h"

AutoTester* AutoTester_Construct() {
  auto* tester = static_cast<AutoTester*>(my_malloc(sizeof(AutoTester)));
  std::memset(tester, 0, sizeof *tester);
  tester->nTestPositionCount = kAutoTesterPositionCount;
  return tester;
}

void AutoTester_Destruct(AutoTester* tester) {
  if (tester == nullptr) return;
  for (int i = 0; i < tester->nUCIStringCount; ++i) std::free(tester->psUCIStrings[i]);
  std::free(tester);
}

void AutoTester_CommandLineToTests(AutoTester*, const CommandLine*) {}

const char* AutoTester_GetNextUCIString(AutoTester* tester) {
  if (tester->nUCIStringIndex >= tester->nUCIStringCount) return nullptr;
  return tester->psUCIStrings[tester->nUCIStringIndex++];
}

void AutoTester_Dump(const AutoTester*, YBWCManager*) {}
