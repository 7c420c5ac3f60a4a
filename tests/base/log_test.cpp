#include "base/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "base/ybwc_manager.h"

namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh working directory, with or without ./Error.
class LogOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    char pattern[] = "/tmp/quorrel-log-XXXXXX";
    dir_ = mkdtemp(pattern);
    fs::current_path(dir_);
    manager_ = YBWCManager_GetInstance();
    saved_ = *manager_->pConfiguration;
    saved_rank_ = manager_->nRank;
    manager_->pConfiguration->bLogToCommonFile = 0;
    manager_->pConfiguration->bLogToFile = 0;
    manager_->pConfiguration->bLogToStdout = 0;
  }
  void TearDown() override {
    *manager_->pConfiguration = saved_;
    manager_->nRank = saved_rank_;
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  static std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path previous_;
  std::string dir_;
  YBWCManager* manager_ = nullptr;
  PellamConfiguration saved_{};
  int32_t saved_rank_ = -1;
};

TEST_F(LogOutputs, LineCarriesTimeStampAndRightAlignedRank) {
  manager_->pConfiguration->bLogToStdout = 1;
  manager_->nRank = 12;
  ::testing::internal::CaptureStdout();
  YBWCManager_Log(manager_, "done\n");
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(std::regex_match(out, std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}   12:done\n)"))) << out;
  manager_->nRank = 0;
  ::testing::internal::CaptureStdout();
  YBWCManager_Log(manager_, "x %d\n", 5);
  EXPECT_TRUE(std::regex_match(::testing::internal::GetCapturedStdout(), std::regex(R"(.{23}    0:x 5\n)")));
}

TEST_F(LogOutputs, SwitchesSelectCommonAndRankFiles) {
  fs::create_directory("Error");
  manager_->nRank = 3;
  manager_->pConfiguration->bLogToCommonFile = 1;
  YBWCManager_Log(manager_, "common only\n");
  manager_->pConfiguration->bLogToCommonFile = 0;
  manager_->pConfiguration->bLogToFile = 1;
  YBWCManager_Log(manager_, "rank only\n");
  const std::string common = read_file("Error/SLog_9999.txt");
  const std::string rank = read_file("Error/SLog_0003.txt");
  EXPECT_NE(common.find("    3:common only\n"), std::string::npos);
  EXPECT_EQ(common.find("rank only"), std::string::npos);
  EXPECT_NE(rank.find("    3:rank only\n"), std::string::npos);
  EXPECT_EQ(rank.find("common only"), std::string::npos);
}

TEST_F(LogOutputs, NoRankFileBeforeTheRankIsKnown) {
  fs::create_directory("Error");
  manager_->nRank = -1;
  manager_->pConfiguration->bLogToFile = 1;
  manager_->pConfiguration->bLogToCommonFile = 1;
  YBWCManager_Log(manager_, "early\n");
  EXPECT_NE(read_file("Error/SLog_9999.txt").find("  -1:early\n"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator("Error"), fs::directory_iterator{}), 1);
}

TEST_F(LogOutputs, PercentSignIsWrittenOnceEverywhere) {
  fs::create_directory("Error");
  manager_->nRank = 0;
  manager_->pConfiguration->bLogToCommonFile = 1;
  manager_->pConfiguration->bLogToStdout = 1;
  ::testing::internal::CaptureStdout();
  YBWCManager_Log(manager_, "overhead %d%% of %s\n", 40, "100%s");
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(":overhead 40% of 100%s\n"), std::string::npos);
  EXPECT_NE(read_file("Error/SLog_9999.txt").find(":overhead 40% of 100%s\n"), std::string::npos);
}

TEST_F(LogOutputs, MissingDirectoryIsReportedPerLineAndLoggingGoesOn) {
  manager_->nRank = 0;
  manager_->pConfiguration->bLogToCommonFile = 1;
  manager_->pConfiguration->bLogToFile = 1;
  manager_->pConfiguration->bLogToStdout = 1;
  ::testing::internal::CaptureStdout();
  YBWCManager_Log(manager_, "hello\n");
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("! ERROR Unable to open mefprint file <./Error/SLog_9999.txt>\n"), std::string::npos);
  EXPECT_NE(out.find("! ERROR Unable to open mefprint file <./Error/SLog_0000.txt>\n"), std::string::npos);
  EXPECT_NE(out.find("    0:hello\n"), std::string::npos);
  EXPECT_FALSE(fs::exists("Error"));  // never created
}

TEST_F(LogOutputs, AllSwitchesOffWritesNothing) {
  fs::create_directory("Error");
  manager_->nRank = 0;
  ::testing::internal::CaptureStdout();
  YBWCManager_Log(manager_, "silent\n");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(fs::is_empty("Error"));
}

TEST_F(LogOutputs, OverlongMessageIsCutNotOverrun) {
  manager_->pConfiguration->bLogToStdout = 1;
  manager_->nRank = 0;
  const std::string huge(40000, 'x');
  ::testing::internal::CaptureStdout();
  YBWCManager_Log(manager_, "%s\n", huge.c_str());
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.size(), 16383u);
}

}  // namespace
