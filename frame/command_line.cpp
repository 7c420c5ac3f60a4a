#include "frame/command_line.h"

#include <argtable2.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/fatal.h"
#include "base/log.h"
#include "base/version.h"
#include "base/ybwc_manager.h"

namespace {

constexpr const char* kProgramName = "Quorrel";

bool starts_like_number(const char* text) {
  if (text[0] == '+' || text[0] == '-') ++text;
  return std::isdigit(static_cast<unsigned char>(text[0])) != 0;
}

// "-d", "-m", or "--depth"/"--movetime" as getopt matches them (any
// unambiguous prefix); these are the options whose value is optional.
bool takes_optional_value(std::string_view arg, bool* is_long) {
  *is_long = arg.size() > 2 && arg.starts_with("--");
  if (*is_long) return std::string_view("--depth").starts_with(arg) || std::string_view("--movetime").starts_with(arg);
  return arg == "-d" || arg == "-m";
}

// getopt takes an optional value only when it is attached ("--movetime=3000",
// "-m3000"); written as the next argument ("--movetime 3000") it would be
// reported as an unexpected argument. Attach a following number to its
// option so that both spellings mean the same. Nothing after "--" is touched.
std::vector<std::string> attach_optional_values(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i] != nullptr ? argv[i] : "";
    if (std::strcmp(arg, "--") == 0) {
      for (; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
      break;
    }
    bool is_long = false;
    if (i > 0 && i + 1 < argc && argv[i + 1] != nullptr && takes_optional_value(arg, &is_long) &&
        starts_like_number(argv[i + 1])) {
      args.emplace_back(std::string(arg) + (is_long ? "=" : "") + argv[i + 1]);
      ++i;
      continue;
    }
    args.emplace_back(arg);
  }
  return args;
}

void preset_slots(CommandLine* command_line) {
  for (int i = 0; i < kCommandLineSlots; ++i) {
    command_line->pPosition->ival[i] = kDefaultTestPosition;
    command_line->pDepth->ival[i] = kDefaultTestDepth;
    command_line->pMoveTime->ival[i] = kNoMoveTime;
  }
  command_line->pDepth->hdr.flag |= ARG_HASOPTVALUE;
  command_line->pMoveTime->hdr.flag |= ARG_HASOPTVALUE;
}

void copy_slots(CommandLine* command_line) {
  for (int i = 0; i < kCommandLineSlots; ++i) {
    command_line->nPositions[i] = command_line->pPosition->ival[i];
    command_line->nDepths[i] = command_line->pDepth->ival[i];
    command_line->nMoveTimes[i] = command_line->pMoveTime->ival[i];
  }
  command_line->nPositionCount = command_line->pPosition->count;
  command_line->nDepthCount = command_line->pDepth->count;
  command_line->nMoveTimeCount = command_line->pMoveTime->count;
}

void print_help(const CommandLine* command_line) {
  std::printf("Usage: %s", command_line->sProgramName);
  arg_print_syntax(stdout, const_cast<void**>(command_line->pArgTable), "\n");
  arg_print_glossary(stdout, const_cast<void**>(command_line->pArgTable), "  %-25s %s\n");
  std::fflush(stdout);
}

void print_version(const CommandLine* command_line) {
  std::printf("'%s' %s", command_line->sProgramName, kEngineVersion);
  std::printf(", a UCI chess engine that searches on every process of an MPI job\n");
  std::printf("March 2008\n");
  std::fflush(stdout);
}

void print_errors(CommandLine* command_line) {
  arg_print_errors(stdout, command_line->pEnd, command_line->sProgramName);
  std::printf("Try '%s --help' for more information.\n", command_line->sProgramName);
  std::fflush(stdout);
}

void dump_entry(YBWCManager* manager, const char* name, int32_t count, const int32_t* slots) {
  YBWCManager_Log(manager, "%d instances of --%s detected on command line\n", count, name);
  for (int i = 0; i < kCommandLineSlots; ++i) YBWCManager_Log(manager, "%s[%d] = %d\n", name, i, slots[i]);
}

}  // namespace

CommandLine* CommandLine_Construct(int* pArgc, char*** pArgv) {
  auto* command_line = static_cast<CommandLine*>(my_malloc(sizeof(CommandLine)));
  std::memset(command_line, 0, sizeof *command_line);
  command_line->pArgc = pArgc;
  command_line->pArgv = pArgv;
  command_line->sProgramName = kProgramName;
  command_line->bPrintMessages = YBWCManager_Rank() <= 0;

  command_line->pPosition = arg_intn("p", "position", nullptr, 0, kCommandLineSlots,
                                     "takes a test position (range 1..33)   (defaults to 1)");
  command_line->pDepth =
      arg_intn("d", "depth", nullptr, 0, kCommandLineSlots, "takes an optional depth value         (defaults to 8)");
  command_line->pMoveTime = arg_intn("m", "movetime", nullptr, 0, kCommandLineSlots,
                                     "takes an optional movetime value [ms] (no default)");
  command_line->pHelp = arg_lit0(nullptr, "help", "print this help and exit");
  command_line->pVersion = arg_lit0(nullptr, "version", "print version information and exit");
  command_line->pEnd = arg_end(kCommandLineMaxErrors);

  void** table = command_line->pArgTable;
  table[0] = command_line->pPosition;
  table[1] = command_line->pDepth;
  table[2] = command_line->pMoveTime;
  table[3] = command_line->pHelp;
  table[4] = command_line->pVersion;
  table[5] = command_line->pEnd;
  return command_line;
}

void CommandLine_Destruct(CommandLine* command_line) {
  if (command_line == nullptr) return;
  arg_freetable(command_line->pArgTable, kCommandLineTableSize);
  std::free(command_line);
}

int32_t CommandLine_Parse(CommandLine* command_line) {
  command_line->nExitCode = 0;
  command_line->bStopRequest = 0;
  if (arg_nullcheck(command_line->pArgTable) != 0) {
    // Parsing with a missing entry is impossible; start-up fails instead.
    YBWCManager_Log(YBWCManager_GetInstance(), "ERROR %s: insufficient memory\n", command_line->sProgramName);
    command_line->nExitCode = 1;
    return 1;
  }
  preset_slots(command_line);

  int argc = command_line->pArgc != nullptr ? *command_line->pArgc : 0;
  char** argv = command_line->pArgv != nullptr ? *command_line->pArgv : nullptr;
  if (argv == nullptr) argc = 0;
  // argtable2 keeps pointers into the vector for its error list, so the
  // joined arguments live until the errors are printed.
  std::vector<std::string> args = attach_optional_values(argc, argv);
  if (args.empty()) args.emplace_back(command_line->sProgramName);
  std::vector<char*> arg_pointers;
  for (std::string& arg : args) arg_pointers.push_back(arg.data());
  arg_pointers.push_back(nullptr);

  const int error_count =
      arg_parse(static_cast<int>(args.size()), arg_pointers.data(), command_line->pArgTable);
  copy_slots(command_line);

  const bool print = command_line->bPrintMessages != 0;
  if (command_line->pHelp->count > 0) {
    if (print) print_help(command_line);
    command_line->bStopRequest = 1;
    return 0;
  }
  if (command_line->pVersion->count > 0) {
    if (print) print_version(command_line);
    command_line->bStopRequest = 1;
    return 0;
  }
  if (error_count > 0) {
    if (print) print_errors(command_line);
    command_line->bStopRequest = 1;
    command_line->nExitCode = 1;
    return 1;
  }
  return 0;
}

void CommandLine_Dump(const CommandLine* command_line, YBWCManager* manager) {
  YBWCManager_Log(manager, "Command line arguments:\n");
  dump_entry(manager, "position", command_line->nPositionCount, command_line->nPositions);
  dump_entry(manager, "depth", command_line->nDepthCount, command_line->nDepths);
  dump_entry(manager, "movetime", command_line->nMoveTimeCount, command_line->nMoveTimes);
  YBWCManager_Log(manager, " \n");
}
