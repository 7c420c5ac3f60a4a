#pragma once
// The automatic tester: a prepared sequence of UCI command lines that the
// command loop executes as if a GUI had typed them.
#include <cstdint>

struct YBWCManager;
struct CommandLine;

constexpr int kAutoTesterMaxStrings = 8192;
constexpr int kAutoTesterPositionCount = 33;

struct AutoTester {
  int32_t bActive;
  int32_t nUCIStringCount;
  char* psUCIStrings[kAutoTesterMaxStrings];
  int32_t nUCIStringIndex;
  int32_t nTestPositionCount;
};

AutoTester* AutoTester_Construct();
void AutoTester_Destruct(AutoTester* tester);
void AutoTester_CommandLineToTests(AutoTester* tester, const CommandLine* command_line);
// The next prepared UCI string, or nullptr when none is left.
const char* AutoTester_GetNextUCIString(AutoTester* tester);
void AutoTester_Dump(const AutoTester* tester, YBWCManager* manager);
