// "remote" on the root master when the test cannot be sent: the loop must not
// stay searching or in the remote-test state, and says why.
#include <gtest/gtest.h>

#include <string>

#include "base/protocol_flags.h"
#include "base/ybwc_manager.h"
#include "uci/loop.h"

namespace {

TEST(Remote, AFailedSendLeavesTheLoopFree) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const YBWCManager saved = *manager;
  // Two processes, but no handler for rank 1: the send fails.
  manager->nSize = 2;
  manager->nRank = 0;
  manager->bRootMaster = 1;
  manager->nState = NODE_STATE_IDLE;
  manager->pProcessorHandlers[1] = nullptr;
  SearchRunning = false;
  Delay = false;
  ::testing::internal::CaptureStdout();
  char line[] = "remote 1 infinite";
  parse_remote(line);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_FALSE(SearchRunning);
  EXPECT_FALSE(SearchUnbounded);
  EXPECT_EQ(manager->nState, NODE_STATE_IDLE);
  EXPECT_EQ(manager->nRemoteTestProcessorId, -1);
  EXPECT_NE(out.find("info string remote test could not be sent to processor 1"), std::string::npos) << out;
  PellamConfiguration* configuration = manager->pConfiguration;
  *manager = saved;
  manager->pConfiguration = configuration;
}

}  // namespace
