// The command line through the real binary: help, version, errors and the
// automatic tester, alone and under mpiexec with one process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class CommandLineRun : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override { fs::remove_all(dir_); }
  std::unique_ptr<EngineProcess> start(const std::vector<std::string>& args) {
    return std::make_unique<EngineProcess>(engine_command(GetParam(), args), dir_);
  }
  static std::vector<std::string> all_lines(EngineProcess& engine) {
    std::vector<std::string> lines;
    while (auto line = engine.read_line(20s)) lines.push_back(*line);
    return lines;
  }
  static bool has_line_starting(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(), [&](const auto& l) { return l.rfind(prefix, 0) == 0; });
  }
  std::string dir_;
};

TEST_P(CommandLineRun, HelpPrintsUsageAndGlossaryAndEndsWithZero) {
  auto engine = start({"--help"});
  const auto lines = all_lines(*engine);
  EXPECT_EQ(engine->wait_exit(), 0);
  EXPECT_TRUE(has_line_starting(lines, "Usage: Quorrel"));
  EXPECT_TRUE(has_line_starting(lines, "  -p, --position=<int>"));
  EXPECT_TRUE(has_line_starting(lines, "  --version"));
  EXPECT_FALSE(has_line_starting(lines, "Quorrel 1.4 beta5c"));  // no banner, no engine start-up
}

TEST_P(CommandLineRun, VersionEndsWithZero) {
  auto engine = start({"--version"});
  const auto lines = all_lines(*engine);
  EXPECT_EQ(engine->wait_exit(), 0);
  EXPECT_TRUE(has_line_starting(lines, "'Quorrel' 1.4 beta5c"));
}

TEST_P(CommandLineRun, UnknownOptionListsTheErrorAndEndsWithOne) {
  auto engine = start({"--bogus"});
  const auto lines = all_lines(*engine);
  EXPECT_EQ(engine->wait_exit(), 1);
  EXPECT_TRUE(has_line_starting(lines, "Quorrel: invalid option \"--bogus\""));
  EXPECT_TRUE(has_line_starting(lines, "Try 'Quorrel --help' for more information."));
  for (const auto& line : lines) EXPECT_EQ(line.find("YBWCManager_Init(... failed, errorcode"), std::string::npos);
}

TEST_P(CommandLineRun, TesterRunsEachPositionWithItsLimitThenQuits) {
  auto engine = start({"--position", "5", "--position", "7", "--movetime", "3000"});
  std::vector<std::string> bestmoves;
  std::vector<std::string> lines;
  // Standard input stays open: the tester feeds the loop, not the pipe.
  while (auto line = engine->read_line(30s)) {
    lines.push_back(*line);
    if (line->rfind("bestmove ", 0) == 0) bestmoves.push_back(*line);
  }
  EXPECT_EQ(engine->wait_exit(10s), 0);
  ASSERT_EQ(bestmoves.size(), 2u);
  // Test 5 searches for its move time, test 7 to depth 8.
  const auto first_best = std::find(lines.begin(), lines.end(), bestmoves[0]);
  int deepest_second = 0;
  for (auto it = first_best; it != lines.end(); ++it) {
    if (it->rfind("info depth ", 0) == 0) deepest_second = std::max(deepest_second, std::stoi(it->substr(11)));
  }
  EXPECT_EQ(deepest_second, 8);
}

TEST_P(CommandLineRun, StopTypedDuringATestEndsTheAutomaticFeeding) {
  auto engine = start({"--position", "5", "--position", "7", "--movetime", "20000"});
  // Wait until the first test searches, then stop it from the keyboard.
  std::vector<std::string> lines = engine->read_until("info depth 2", 20s);
  ASSERT_FALSE(lines.empty());
  ASSERT_EQ(lines.back(), "info depth 2");
  engine->send_line("stop");
  lines = engine->read_until("readyok", 2s);  // nothing more may come from the tester
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const auto& l) { return l.rfind("bestmove ", 0) == 0; }));
  engine->send_line("isready");
  lines = engine->read_until("readyok", 10s);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "readyok");
  for (const auto& line : lines) EXPECT_NE(line.rfind("bestmove ", 0), 0u) << "a second test ran: " << line;
  engine->send_line("quit");
  EXPECT_EQ(engine->wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Launch, CommandLineRun, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Direct" : "Mpiexec1"; });

}  // namespace
