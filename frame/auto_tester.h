#pragma once
// The automatic tester: a prepared sequence of UCI command lines that the
// command loop executes as if a GUI had typed them, one search per test
// position given on the command line, ending with "quit".
#include <cstdint>

struct YBWCManager;
struct CommandLine;

constexpr int kAutoTesterMaxStrings = 8192;
constexpr int kAutoTesterPositionCount = 33;

struct AutoTester {
  int32_t bActive;  // set while the tester feeds the command loop
  int32_t nUCIStringCount;
  char* psUCIStrings[kAutoTesterMaxStrings];  // owned copies, in execution order
  int32_t nUCIStringIndex;                    // next string to hand out
  int32_t nTestPositionCount;
  const char* const* psTestPositions;  // FEN of test n at index n - 1
};

AutoTester* AutoTester_Construct();
void AutoTester_Destruct(AutoTester* tester);
// Replaces the prepared strings by the test run the command line asks for;
// the tester stays inactive when no position was given.
void AutoTester_CommandLineToTests(AutoTester* tester, const CommandLine* command_line);
// Appends a copy of the text (dropped with a warning when the list is full).
void AutoTester_AddUCIString(AutoTester* tester, const char* text);
// The next prepared UCI string, or nullptr when none is left.
const char* AutoTester_GetNextUCIString(AutoTester* tester);
// FEN of test position `number` (1 .. 33), nullptr outside that range.
const char* AutoTester_GetTestPosition(const AutoTester* tester, int32_t number);
void AutoTester_Dump(const AutoTester* tester, YBWCManager* manager);
