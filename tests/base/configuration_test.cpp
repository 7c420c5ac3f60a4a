#include "base/configuration.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/option.h"
#include "base/ybwc_manager.h"

namespace {

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The message part of a log line: what follows "<time stamp> <rank>:".
std::string message_of(const std::string& line) { return line.substr(line.find(':', 20) + 1); }

TEST(Configuration, StartsFromTheOptionDefaults) {
  option_reset_all();
  PellamConfiguration config;
  PellamConfiguration_Construct(&config);
  EXPECT_STREQ(config.sFileName, "<UndefinedFileName>");
  PellamConfiguration_Init(&config, "Quorrel.ini");
  PellamConfiguration_ReadFromOptions(&config);
  EXPECT_STREQ(config.sFileName, "Quorrel.ini");
  EXPECT_EQ(config.nPellamDebugLevel, 0);
  EXPECT_EQ(config.bLogToStdout, 0);
  EXPECT_EQ(config.nMaxBufferedRequestCount, 32);
  EXPECT_EQ(config.nRequestForWorkWaitCounterLimit, 1000);
  EXPECT_EQ(config.bAllowDistributionOfLastMoveInList, 1);
  EXPECT_EQ(config.bUseSharedMemoryTranspositionTable, 1);
  EXPECT_EQ(config.bUseSharedMemoryHistoryTable, 0);
  EXPECT_EQ(config.nSlaveStartIIDDepth, 256);
  EXPECT_EQ(config.nHashTableSizeMB, 0);
  EXPECT_EQ(config.nMinimumBrothersFinishedRootFirstStep, 8);
  EXPECT_EQ(config.bUseEvent, 1);
}

TEST(Configuration, RefreshFollowsOptionChangesWithTheBooleanRule) {
  option_reset_all();
  PellamConfiguration config;
  PellamConfiguration_Construct(&config);
  option_set_value("Debug Level", "7");
  option_set_value("Log To Common File", "YES");
  option_set_value("Use Event", "on");
  option_set_value("Max Buffered Requests", "5000");  // out of range: copied unchanged
  PellamConfiguration_ReadFromOptions(&config);
  EXPECT_EQ(config.nPellamDebugLevel, 7);
  EXPECT_EQ(config.bLogToCommonFile, 1);
  EXPECT_EQ(config.bUseEvent, 0);
  EXPECT_EQ(config.nMaxBufferedRequestCount, 5000);
  option_reset_all();
}

TEST(Configuration, DumpListsSixtyEightFieldsInOrder) {
  option_reset_all();
  YBWCManager* manager = YBWCManager_GetInstance();
  PellamConfiguration_Init(manager->pConfiguration, "Quorrel.ini");
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  manager->pConfiguration->bLogToStdout = 1;
  ::testing::internal::CaptureStdout();
  PellamConfiguration_Dump(manager->pConfiguration, manager);
  const auto lines = split_lines(::testing::internal::GetCapturedStdout());
  manager->pConfiguration->bLogToStdout = 0;

  ASSERT_EQ(lines.size(), 70u);
  EXPECT_EQ(message_of(lines.front()), "PellamConfiguration:");
  EXPECT_EQ(message_of(lines.back()), " ");
  EXPECT_EQ(message_of(lines[1]), "sFileName" + std::string(29, ' ') + " = Quorrel.ini");
  EXPECT_EQ(message_of(lines[2]), "nPellamDebugLevel                      = 0");
  EXPECT_EQ(message_of(lines[5]), "bLogToStdout                           = true");
  EXPECT_EQ(message_of(lines[52]), "nHashTableSizeMB                       = 0");
  EXPECT_EQ(message_of(lines[68]), "bUseEvent                              = true");
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    EXPECT_EQ(message_of(lines[i]).substr(38, 3), " = ") << lines[i];
  }
}

}  // namespace
