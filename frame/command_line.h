#pragma once
// The process's command line: test positions with depth or time limits for
// the automatic tester, --help and --version. Parsing, the usage text and the
// error list are argtable2's.
#include <cstdint>

struct YBWCManager;
struct arg_int;
struct arg_lit;
struct arg_end;

constexpr int kCommandLineSlots = 8;
constexpr int kCommandLineMaxErrors = 20;
constexpr int kCommandLineTableSize = 6;
constexpr int32_t kDefaultTestPosition = 1;
constexpr int32_t kDefaultTestDepth = 8;
constexpr int32_t kNoMoveTime = -1;

struct CommandLine {
  int* pArgc;
  char*** pArgv;

  // The argument table, in this order: position, depth, movetime, help,
  // version, end. Each integer entry has kCommandLineSlots value slots.
  arg_int* pPosition;
  arg_int* pDepth;
  arg_int* pMoveTime;
  arg_lit* pHelp;
  arg_lit* pVersion;
  arg_end* pEnd;
  void* pArgTable[kCommandLineTableSize];
  const char* sProgramName;

  // Copies of the slots and occurrence counts after parsing. Slot i of the
  // three arrays describes test i; a slot not given keeps its preset.
  int32_t nPositions[kCommandLineSlots];
  int32_t nDepths[kCommandLineSlots];
  int32_t nMoveTimes[kCommandLineSlots];
  int32_t nPositionCount;
  int32_t nDepthCount;
  int32_t nMoveTimeCount;

  int32_t nExitCode;
  int32_t bStopRequest;  // stop after start-up: help, version or an error
  // Every rank parses the same command line, but only one process writes the
  // usage, version and error texts: the root master, or a process that does
  // not know its rank yet (rank -1).
  int32_t bPrintMessages;
};

CommandLine* CommandLine_Construct(int* pArgc, char*** pArgv);
void CommandLine_Destruct(CommandLine* command_line);
// 0 to continue start-up (also for --help and --version, which set
// bStopRequest), 1 on a command-line error or when the table could not be
// allocated. nExitCode holds the process's exit code in both cases.
int32_t CommandLine_Parse(CommandLine* command_line);
void CommandLine_Dump(const CommandLine* command_line, YBWCManager* manager);
