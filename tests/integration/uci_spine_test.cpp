// The UCI exchanges of an idle engine, driven through the real binary both
// started directly and under mpiexec with one process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::string> with_prefix(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> result;
  for (const auto& line : lines) {
    if (line.rfind(prefix, 0) == 0) result.push_back(line);
  }
  return result;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// 0: the binary started directly; 1: under mpiexec -n 1.
class UciSpine : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override { fs::remove_all(dir_); }
  std::unique_ptr<EngineProcess> start(const std::vector<std::string>& args = {}) {
    return std::make_unique<EngineProcess>(engine_command(GetParam(), args), dir_);
  }
  std::string dir_;
};

TEST_P(UciSpine, UciListsIdentityAndTheDeclaredOptionsThenQuits) {
  auto engine = start();
  engine->send_line("uci");
  const auto lines = engine->read_until("uciok");
  ASSERT_EQ(lines.back(), "uciok");
  EXPECT_TRUE(contains(lines, "id name Quorrel 1.4 beta5c"));
  EXPECT_EQ(with_prefix(lines, "id author ").size(), 1u);
  const auto options = with_prefix(lines, "option name ");
  ASSERT_EQ(options.size(), 55u);
  EXPECT_EQ(options.front(), "option name Hash type spin default 16 min 4 max 1024");
  EXPECT_EQ(options[3], "option name Ponder type check default false");
  EXPECT_EQ(options.back(), "option name Max Remaining Search Depth type spin default 256 min 1 max 256");
  // The option lines come right after the id lines, in one block.
  const auto first = std::find(lines.begin(), lines.end(), options.front());
  EXPECT_EQ(*(first - 1), with_prefix(lines, "id author ").front());

  engine->send_line("isready");
  EXPECT_EQ(engine->read_line(), "readyok");
  engine->send_line("quit");
  EXPECT_EQ(engine->wait_exit(), 0);
}

TEST_P(UciSpine, SetoptionChangesTheListingAndHiddenOptionsAreSettable) {
  auto engine = start();
  engine->send_line("setoption name hash value 64");
  engine->send_line("uci");
  const auto lines = engine->read_until("uciok");
  EXPECT_TRUE(contains(lines, "option name Hash type spin default 64 min 4 max 1024"));

  // Log To Stdout is hidden but settable; the configuration dump then follows
  // every setoption on standard output.
  engine->send_line("setoption name Log To Stdout value true");
  engine->send_line("setoption name Debug Level value 7");
  engine->send_line("isready");
  const auto logged = engine->read_until("readyok");
  ASSERT_EQ(logged.back(), "readyok");
  std::vector<std::string> dump;
  bool in_second_dump = false;
  int headers = 0;
  for (const auto& line : logged) {
    if (line.find(":PellamConfiguration:") != std::string::npos) {
      in_second_dump = ++headers == 2;
      continue;
    }
    if (in_second_dump) {
      if (line.size() >= 2 && line.substr(line.size() - 2) == ": ") break;
      dump.push_back(line);
    }
  }
  ASSERT_EQ(headers, 2);
  EXPECT_EQ(dump.size(), 68u);
  EXPECT_NE(dump[1].find(":nPellamDebugLevel                      = 7"), std::string::npos);
  EXPECT_NE(dump[4].find(":bLogToStdout                           = true"), std::string::npos);
  engine->send_line("quit");
  EXPECT_EQ(engine->wait_exit(), 0);
}

TEST_P(UciSpine, LogFilesAreWrittenWhenTheDirectoryExists) {
  fs::create_directory(dir_ + "/Error");
  auto engine = start();
  engine->send_line("setoption name Log To Common File value true");
  engine->send_line("setoption name Log To Specific File value true");
  engine->send_line("quit");
  EXPECT_EQ(engine->wait_exit(), 0);
  std::ifstream common(dir_ + "/Error/SLog_9999.txt");
  std::stringstream text;
  text << common.rdbuf();
  const std::string log = text.str();
  EXPECT_NE(log.find("    0:Root processor name is <"), std::string::npos);
  EXPECT_NE(log.find("    0:PellamConfiguration:\n"), std::string::npos);
  EXPECT_NE(log.find("    0:finalizing environment via \"quit\"\n"), std::string::npos);
  EXPECT_NE(log.find("    0:done\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ + "/Error/SLog_0000.txt"));
}

TEST_P(UciSpine, MissingLogDirectoryIsReportedOnStandardOutput) {
  auto engine = start();
  engine->send_line("setoption name Log To Common File value true");
  engine->send_line("isready");
  const auto lines = engine->read_until("readyok");
  EXPECT_TRUE(contains(lines, "! ERROR Unable to open mefprint file <./Error/SLog_9999.txt>"));
  EXPECT_FALSE(fs::exists(dir_ + "/Error"));
  engine->close_input();
  EXPECT_EQ(engine->wait_exit(), 0);
}

TEST_P(UciSpine, EndOfInputEndsInOrder) {
  fs::create_directory(dir_ + "/Error");
  auto engine = start();
  engine->send_line("setoption name Log To Common File value true");
  engine->close_input();
  EXPECT_EQ(engine->wait_exit(), 0);
  std::ifstream common(dir_ + "/Error/SLog_9999.txt");
  std::stringstream text;
  text << common.rdbuf();
  EXPECT_NE(text.str().find(":finalizing environment via !my_file_read_line(...\n"), std::string::npos);
}

TEST_P(UciSpine, CrlfLinesWorkAndUnknownLinesGetNoReply) {
  auto engine = start();
  engine->send("isready\r\n");
  EXPECT_EQ(engine->read_until("readyok").back(), "readyok");
  engine->send_line("xyzzy");
  engine->send_line("debug on");
  engine->send_line("go");
  engine->send_line("position");
  engine->send_line("ucinewgame");
  engine->send_line("stop");
  engine->send_line("ponderhit");
  engine->send_line("isready");
  const auto lines = engine->read_until("readyok");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "readyok");
  EXPECT_EQ(with_prefix(lines, "readyok").size(), 1u);
  for (const auto& line : lines) EXPECT_TRUE(line == "readyok" || line.rfind("Quorrel ", 0) == 0 ||
                                             line.rfind("! ERROR", 0) == 0) << line;
  engine->send_line("quit\r");
  EXPECT_EQ(engine->wait_exit(), 0);
}

TEST_P(UciSpine, FatalErrorEndsWithExitCodeOneAndTheMessage) {
  auto engine = start();
  engine->send_line("remote ");
  EXPECT_EQ(engine->wait_exit(), 1);
  EXPECT_NE(engine->stderr_text().find("parse_remote(): missing processor argument"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Launch, UciSpine, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Direct" : "Mpiexec1"; });

}  // namespace
