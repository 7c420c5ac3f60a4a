#include "frame/auto_tester.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "base/ybwc_manager.h"
#include "frame/command_line.h"

namespace {

const std::vector<std::string> kSetUp = {"uci", "isready", "setoption name Log To Stdout value true",
                                         "setoption name Hash value 1024", "isready"};
const char* const kTest5 = "position fen 3B4/8/2B5/1K6/8/8/3p4/3k4 w - - 0 1";
const char* const kTest7 = "position fen 6k1/p3q2p/1nr3pB/8/3Q1P2/6P1/PP5P/3R2K1 b - - 0 1";

// The strings a tester prepares for a command line (program name added).
std::vector<std::string> tests_for(std::initializer_list<const char*> args, int32_t* active = nullptr) {
  std::vector<std::string> strings = {"quorrel"};
  for (const char* arg : args) strings.emplace_back(arg);
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  int argc = static_cast<int>(strings.size());
  char** argv = pointers.data();
  CommandLine* command_line = CommandLine_Construct(&argc, &argv);
  EXPECT_EQ(CommandLine_Parse(command_line), 0);

  AutoTester* tester = AutoTester_Construct();
  AutoTester_CommandLineToTests(tester, command_line);
  std::vector<std::string> result;
  for (int32_t i = 0; i < tester->nUCIStringCount; ++i) result.emplace_back(tester->psUCIStrings[i]);
  if (active != nullptr) *active = tester->bActive;
  AutoTester_Destruct(tester);
  CommandLine_Destruct(command_line);
  return result;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace

TEST(AutoTesterTests, NoPositionLeavesTheTesterInactive) {
  int32_t active = -1;
  EXPECT_TRUE(tests_for({}, &active).empty());
  EXPECT_EQ(active, 0);
  EXPECT_TRUE(tests_for({"--depth=3", "--movetime=10"}, &active).empty());
  EXPECT_EQ(active, 0);
}

TEST(AutoTesterTests, OnePositionSearchesToTheDefaultDepth) {
  int32_t active = 0;
  EXPECT_EQ(tests_for({"--position", "5"}, &active),
            joined({kSetUp, {"ucinewgame", "isready", kTest5, "go depth 8", "quit"}}));
  EXPECT_EQ(active, 1);
}

TEST(AutoTesterTests, LimitsBelongToTheirSlot) {
  EXPECT_EQ(tests_for({"--position", "5", "--position", "7", "--movetime", "3000"}),
            joined({kSetUp,
                    {"ucinewgame", "isready", kTest5, "go movetime 3000", "ucinewgame", "isready", kTest7,
                     "go depth 8", "quit"}}));
  // A movetime of its slot wins over the depth; a depth without value stays 8.
  EXPECT_EQ(tests_for({"-p5", "-p7", "-p5", "-d", "-d", "12", "-d3", "-m", "-m0"}),
            joined({kSetUp,
                    {"ucinewgame", "isready", kTest5, "go depth 8", "ucinewgame", "isready", kTest7,
                     "go movetime 0", "ucinewgame", "isready", kTest5, "go depth 3", "quit"}}));
}

TEST(AutoTesterTests, UnknownTestNumbersAreSkipped) {
  EXPECT_EQ(tests_for({"--position", "34"}), joined({kSetUp, {"quit"}}));
  EXPECT_EQ(tests_for({"-p0", "-p-1", "-p7", "-p", "34"}),
            joined({kSetUp, {"ucinewgame", "isready", kTest7, "go depth 8", "quit"}}));
}

TEST(AutoTesterTests, EveryTestNumberHasItsPosition) {
  AutoTester* tester = AutoTester_Construct();
  EXPECT_EQ(tester->nTestPositionCount, 33);
  EXPECT_STREQ(AutoTester_GetTestPosition(tester, 1), "rq2r1k1/5pp1/p7/4bNP1/1p2P2P/5Q2/PP4K1/5R1R w - - 0 1");
  EXPECT_STREQ(AutoTester_GetTestPosition(tester, 22),
               "rnb1k2r/pp2qppp/3p1n2/2pp2B1/1bP5/2N1P3/PP2NPPP/R2QKB1R w KQkq - 0 1");
  EXPECT_STREQ(AutoTester_GetTestPosition(tester, 33), "2r1k3/2PRbp2/pp2p2p/6p1/1P6/B4PP1/P5KP/8 w - - 0 1");
  EXPECT_EQ(AutoTester_GetTestPosition(tester, 0), nullptr);
  EXPECT_EQ(AutoTester_GetTestPosition(tester, 34), nullptr);
  std::set<std::string> distinct;
  for (int32_t n = 1; n <= 33; ++n) distinct.insert(AutoTester_GetTestPosition(tester, n));
  EXPECT_EQ(distinct.size(), 33u);
  AutoTester_Destruct(tester);
}

TEST(AutoTesterStrings, AreHandedOutOnceInOrderThenNone) {
  AutoTester* tester = AutoTester_Construct();
  char text[] = "go depth 3";
  AutoTester_AddUCIString(tester, "uci");
  AutoTester_AddUCIString(tester, text);
  text[0] = 'X';  // the tester keeps its own copy
  EXPECT_STREQ(AutoTester_GetNextUCIString(tester), "uci");
  EXPECT_STREQ(AutoTester_GetNextUCIString(tester), "go depth 3");
  EXPECT_EQ(AutoTester_GetNextUCIString(tester), nullptr);
  EXPECT_EQ(AutoTester_GetNextUCIString(tester), nullptr);
  AutoTester_Destruct(tester);
}

TEST(AutoTesterStrings, ANewCommandLineReplacesTheList) {
  int argc = 3;
  char name[] = "quorrel", option[] = "-p", value[] = "5";
  char* args[] = {name, option, value, nullptr};
  char** argv = args;
  CommandLine* command_line = CommandLine_Construct(&argc, &argv);
  ASSERT_EQ(CommandLine_Parse(command_line), 0);
  AutoTester* tester = AutoTester_Construct();
  AutoTester_CommandLineToTests(tester, command_line);
  const int32_t count = tester->nUCIStringCount;
  AutoTester_GetNextUCIString(tester);
  AutoTester_CommandLineToTests(tester, command_line);
  EXPECT_EQ(tester->nUCIStringCount, count);
  EXPECT_STREQ(AutoTester_GetNextUCIString(tester), "uci");
  AutoTester_Destruct(tester);
  CommandLine_Destruct(command_line);
}

TEST(AutoTesterStrings, AFullListDropsFurtherStrings) {
  AutoTester* tester = AutoTester_Construct();
  for (int i = 0; i < kAutoTesterMaxStrings + 2; ++i) AutoTester_AddUCIString(tester, "isready");
  EXPECT_EQ(tester->nUCIStringCount, kAutoTesterMaxStrings);
  AutoTester_Destruct(tester);
}

TEST(AutoTesterDump, ShowsIndexedStringsWithNewlinesEscaped) {
  AutoTester* tester = AutoTester_Construct();
  AutoTester_AddUCIString(tester, "uci");
  AutoTester_AddUCIString(tester, "position fen x\nquit");
  AutoTester_AddUCIString(tester, "isready");
  std::free(tester->psUCIStrings[2]);
  tester->psUCIStrings[2] = nullptr;

  YBWCManager* manager = YBWCManager_GetInstance();
  const PellamConfiguration saved = *manager->pConfiguration;
  manager->pConfiguration->bLogToStdout = 1;
  manager->pConfiguration->bLogToCommonFile = 0;
  manager->pConfiguration->bLogToFile = 0;
  testing::internal::CaptureStdout();
  AutoTester_Dump(tester, manager);
  const std::string output = testing::internal::GetCapturedStdout();
  *manager->pConfiguration = saved;
  AutoTester_Destruct(tester);

  // Each log line starts with a time stamp and the rank: "dd.mm.yyyy hh:mm:ss.mmm rrrr:".
  std::vector<std::string> messages;
  for (std::size_t start = 0; start < output.size();) {
    const std::size_t end = output.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    messages.push_back(output.substr(start + 29, end - start - 29));
    start = end + 1;
  }
  EXPECT_EQ(messages, (std::vector<std::string>{"AutoTester UCI strings:", "   0:<uci>",
                                                "   1:<position fen x\\nquit>",
                                                "   2:<<string is not accessible>", " "}));
}
