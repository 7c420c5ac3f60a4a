#include "frame/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/ybwc_manager.h"

namespace {

// Owns an argument vector and a parsed command line; argtable2 keeps state in
// its entries, so every case gets fresh ones.
class ParsedCommandLine {
 public:
  explicit ParsedCommandLine(std::initializer_list<const char*> args, bool print = true) {
    strings_.emplace_back("quorrel");
    for (const char* arg : args) strings_.emplace_back(arg);
    for (std::string& s : strings_) pointers_.push_back(s.data());
    pointers_.push_back(nullptr);
    argc_ = static_cast<int>(strings_.size());
    argv_ = pointers_.data();
    command_line_ = CommandLine_Construct(&argc_, &argv_);
    command_line_->bPrintMessages = print ? 1 : 0;
    testing::internal::CaptureStdout();
    result_ = CommandLine_Parse(command_line_);
    output_ = testing::internal::GetCapturedStdout();
  }
  ~ParsedCommandLine() { CommandLine_Destruct(command_line_); }
  ParsedCommandLine(const ParsedCommandLine&) = delete;
  ParsedCommandLine& operator=(const ParsedCommandLine&) = delete;

  const CommandLine& operator*() const { return *command_line_; }
  const CommandLine* operator->() const { return command_line_; }
  int32_t result() const { return result_; }
  const std::string& output() const { return output_; }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
  int argc_ = 0;
  char** argv_ = nullptr;
  CommandLine* command_line_ = nullptr;
  int32_t result_ = -1;
  std::string output_;
};

std::vector<int32_t> slots(const int32_t (&values)[kCommandLineSlots]) {
  return std::vector<int32_t>(values, values + kCommandLineSlots);
}

void expect_continues(const ParsedCommandLine& parsed) {
  EXPECT_EQ(parsed.result(), 0);
  EXPECT_EQ(parsed->nExitCode, 0);
  EXPECT_EQ(parsed->bStopRequest, 0);
  EXPECT_EQ(parsed.output(), "");
}

void expect_error(const ParsedCommandLine& parsed, const std::string& message) {
  EXPECT_EQ(parsed.result(), 1);
  EXPECT_EQ(parsed->nExitCode, 1);
  EXPECT_EQ(parsed->bStopRequest, 1);
  EXPECT_NE(parsed.output().find("Quorrel: " + message), std::string::npos) << parsed.output();
  EXPECT_TRUE(parsed.output().ends_with("\nTry 'Quorrel --help' for more information.\n")) << parsed.output();
}

}  // namespace

TEST(CommandLineSlots, NoArgumentsKeepsEveryPreset) {
  ParsedCommandLine parsed({});
  expect_continues(parsed);
  EXPECT_EQ(parsed->nPositionCount, 0);
  EXPECT_EQ(parsed->nDepthCount, 0);
  EXPECT_EQ(parsed->nMoveTimeCount, 0);
  EXPECT_EQ(slots(parsed->nPositions), std::vector<int32_t>(8, 1));
  EXPECT_EQ(slots(parsed->nDepths), std::vector<int32_t>(8, 8));
  EXPECT_EQ(slots(parsed->nMoveTimes), std::vector<int32_t>(8, -1));
}

TEST(CommandLineSlots, OccurrencesFillSlotsInOrderAndLeaveTheRestPreset) {
  ParsedCommandLine parsed({"--position", "5", "--position", "7", "--movetime", "3000"});
  expect_continues(parsed);
  EXPECT_EQ(parsed->nPositionCount, 2);
  EXPECT_EQ(parsed->nMoveTimeCount, 1);
  EXPECT_EQ(slots(parsed->nPositions), (std::vector<int32_t>{5, 7, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(slots(parsed->nMoveTimes), (std::vector<int32_t>{3000, -1, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(slots(parsed->nDepths), std::vector<int32_t>(8, 8));
}

TEST(CommandLineSlots, ShortNamesAndAttachedValues) {
  ParsedCommandLine parsed({"-p", "3", "-p33", "--position=12", "-d5", "--depth=6", "-m", "250"});
  expect_continues(parsed);
  EXPECT_EQ(slots(parsed->nPositions), (std::vector<int32_t>{3, 33, 12, 1, 1, 1, 1, 1}));
  EXPECT_EQ(slots(parsed->nDepths), (std::vector<int32_t>{5, 6, 8, 8, 8, 8, 8, 8}));
  EXPECT_EQ(slots(parsed->nMoveTimes), (std::vector<int32_t>{250, -1, -1, -1, -1, -1, -1, -1}));
}

TEST(CommandLineSlots, OptionWithoutValueUsesUpItsSlotButKeepsThePreset) {
  ParsedCommandLine parsed({"--depth", "--depth", "12", "-d", "-m", "--dep", "4", "--move", "900"});
  expect_continues(parsed);
  EXPECT_EQ(parsed->nDepthCount, 4);
  EXPECT_EQ(parsed->nMoveTimeCount, 2);
  EXPECT_EQ(slots(parsed->nDepths), (std::vector<int32_t>{8, 12, 8, 4, 8, 8, 8, 8}));
  EXPECT_EQ(slots(parsed->nMoveTimes), (std::vector<int32_t>{-1, 900, -1, -1, -1, -1, -1, -1}));
}

TEST(CommandLineSlots, EightOccurrencesAreAccepted) {
  ParsedCommandLine parsed({"-p1", "-p2", "-p3", "-p4", "-p5", "-p6", "-p7", "-p8"});
  expect_continues(parsed);
  EXPECT_EQ(slots(parsed->nPositions), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(CommandLineErrors, AreListedWithTheHelpHintAndExitCodeOne) {
  expect_error(ParsedCommandLine({"--bogus"}), "invalid option \"--bogus\"");
  expect_error(ParsedCommandLine({"--position"}), "option \"--position\" requires an argument");
  expect_error(ParsedCommandLine({"--position", "five"}), "invalid argument \"five\" to option -p|--position=<int>");
  expect_error(ParsedCommandLine({"--depth", "5x"}), "invalid argument \"5x\" to option -d|--depth=<int>");
  expect_error(ParsedCommandLine({"--depth", "--", "5"}), "unexpected argument \"5\"");
  expect_error(ParsedCommandLine({"-p1", "-p2", "-p3", "-p4", "-p5", "-p6", "-p7", "-p8", "-p9"}),
               "excess option -p|--position=9");
}

TEST(CommandLineErrors, EveryErrorIsListed) {
  ParsedCommandLine parsed({"--bogus", "-x", "7"});
  expect_error(parsed, "invalid option \"--bogus\"");
  EXPECT_NE(parsed.output().find("Quorrel: invalid option \"-x\""), std::string::npos);
  EXPECT_NE(parsed.output().find("Quorrel: unexpected argument \"7\""), std::string::npos);
}

TEST(CommandLineStop, HelpPrintsUsageAndGlossaryAndWinsOverErrors) {
  const std::string usage =
      "Usage: Quorrel [-p <int>]... [-d [<int>]]... [-m [<int>]]... [--help] [--version]\n"
      "  -p, --position=<int>      takes a test position (range 1..33)   (defaults to 1)\n"
      "  -d, --depth=[<int>]       takes an optional depth value         (defaults to 8)\n"
      "  -m, --movetime=[<int>]    takes an optional movetime value [ms] (no default)\n"
      "  --help                    print this help and exit\n"
      "  --version                 print version information and exit\n";
  for (const auto& args : {std::initializer_list<const char*>{"--help"}, {"--bogus", "--help", "--version"}}) {
    ParsedCommandLine parsed(args);
    EXPECT_EQ(parsed.result(), 0);
    EXPECT_EQ(parsed->nExitCode, 0);
    EXPECT_EQ(parsed->bStopRequest, 1);
    EXPECT_EQ(parsed.output(), usage);
  }
}

TEST(CommandLineStop, VersionPrintsNameReleaseAndDate) {
  ParsedCommandLine parsed({"-p", "4", "--version"});
  EXPECT_EQ(parsed.result(), 0);
  EXPECT_EQ(parsed->nExitCode, 0);
  EXPECT_EQ(parsed->bStopRequest, 1);
  EXPECT_TRUE(parsed.output().starts_with("'Quorrel' 1.4 beta5c")) << parsed.output();
  EXPECT_TRUE(parsed.output().ends_with("\nMarch 2008\n")) << parsed.output();
}

// Every rank parses the command line and must stop for the same reasons, but
// only one process may print, or the text appears once per process.
TEST(CommandLineStop, ProcessesOtherThanTheRootMasterStopSilently) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const int32_t saved_rank = manager->nRank;
  manager->nRank = 3;
  int argc = 1;
  char name[] = "quorrel";
  char* args[] = {name, nullptr};
  char** argv = args;
  CommandLine* command_line = CommandLine_Construct(&argc, &argv);
  EXPECT_EQ(command_line->bPrintMessages, 0);
  CommandLine_Destruct(command_line);
  manager->nRank = 0;
  command_line = CommandLine_Construct(&argc, &argv);
  EXPECT_EQ(command_line->bPrintMessages, 1);
  CommandLine_Destruct(command_line);
  manager->nRank = saved_rank;

  for (const auto& args : {std::initializer_list<const char*>{"--help"}, {"--version"}}) {
    ParsedCommandLine parsed(args, false);
    EXPECT_EQ(parsed.result(), 0);
    EXPECT_EQ(parsed->bStopRequest, 1);
    EXPECT_EQ(parsed.output(), "");
  }
  ParsedCommandLine wrong({"--bogus"}, false);
  EXPECT_EQ(wrong.result(), 1);
  EXPECT_EQ(wrong->nExitCode, 1);
  EXPECT_EQ(wrong->bStopRequest, 1);
  EXPECT_EQ(wrong.output(), "");
}

TEST(CommandLineDump, ListsCountsAndAllEightSlotsOfEachEntry) {
  ParsedCommandLine parsed({"-p", "5", "-p", "7", "-m", "3000", "-d"});
  YBWCManager* manager = YBWCManager_GetInstance();
  PellamConfiguration saved = *manager->pConfiguration;
  manager->pConfiguration->bLogToStdout = 1;
  manager->pConfiguration->bLogToCommonFile = 0;
  manager->pConfiguration->bLogToFile = 0;
  testing::internal::CaptureStdout();
  CommandLine_Dump(&*parsed, manager);
  const std::string output = testing::internal::GetCapturedStdout();
  *manager->pConfiguration = saved;

  std::string expected = "Command line arguments:\n2 instances of --position detected on command line\n";
  for (int i = 0; i < 8; ++i) expected += "position[" + std::to_string(i) + "] = " + (i == 0 ? "5" : i == 1 ? "7" : "1") + "\n";
  expected += "1 instances of --depth detected on command line\n";
  for (int i = 0; i < 8; ++i) expected += "depth[" + std::to_string(i) + "] = 8\n";
  expected += "1 instances of --movetime detected on command line\n";
  for (int i = 0; i < 8; ++i) expected += "movetime[" + std::to_string(i) + "] = " + (i == 0 ? "3000" : "-1") + "\n";
  expected += " \n";

  // Each log line starts with a time stamp and the rank: "dd.mm.yyyy hh:mm:ss.mmm rrrr:".
  std::string messages;
  std::size_t start = 0;
  while (start < output.size()) {
    const std::size_t end = output.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    messages += output.substr(start + 29, end + 1 - start - 29);
    start = end + 1;
  }
  EXPECT_EQ(messages, expected);
}
