// Requests that arrive while a rank cannot take them (it searches a work
// item) are acted on once it can, in the order they arrived, exactly once.
#include <string>
#include <vector>

#include "cluster/message_send.h"
#include "cluster/message_service.h"
#include "job_util.h"

namespace {

using DelayedDispatch = JobTest;

TEST_F(DelayedDispatch, RequestsForABusyRankAreActedOnLaterInOrderExactlyOnce) {
  if (job_rank() > 1) {
    meet();
    meet();
    meet();
    return;
  }
  YBWCManager* manager = YBWCManager_GetInstance();
  if (job_rank() == 1) {
    manager->nState = NODE_STATE_SEARCHING;  // as while a work item is searched
    std::vector<std::string> acted;
    g_on_request = [&](const Request* r) {
      if (r->nSource != 0) return;
      switch (r->nType) {
        case REQUEST_TYPE_ROOT_MASTER_SET_OPTION: acted.push_back(std::string("option ") + r->psOptionName); break;
        case REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION: acted.push_back("position " + std::to_string(r->nSyncPositionId)); break;
        case REQUEST_TYPE_ROOT_MASTER_NEW_GAME: acted.push_back("new game"); break;
        case REQUEST_TYPE_MASTER_STOP: acted.push_back("stop"); break;
        default: break;
      }
    };
    meet();  // watching
    meet();  // rank 0 has sent everything
    ASSERT_TRUE(serve_until([&] { return !acted.empty() && manager->nBufferedDelayedRequestCount == 4; }));
    EXPECT_EQ(acted, (std::vector<std::string>{"stop"}));  // acted on at once: it overtakes
    // The work item ends: the rank supports the search again.
    manager->nState = NODE_STATE_SUPPORT_SEARCH;
    YBWCManager_DispatchDelayedRequests(manager);
    EXPECT_EQ(acted, (std::vector<std::string>{"stop", "option a", "position 9", "option b", "new game"}));
    EXPECT_EQ(manager->nBufferedDelayedRequestCount, 0);
    EXPECT_EQ(manager->nSyncPositionId, 9);
    EXPECT_EQ(manager->nState, NODE_STATE_IDLE);  // the new game left it idle
    YBWCManager_DispatchDelayedRequests(manager);
    EXPECT_EQ(acted.size(), 5u);
    meet();
    return;
  }
  // Rank 0 sends, then waits for the answers that come only once rank 1 acts.
  meet();
  auto send = [](const char* name, auto init) { EXPECT_EQ(send_request(1, "test", name, init), 0) << name; };
  send("Request_InitRootMasterSetOption", [](Request* r) { return Request_InitRootMasterSetOption(r, "a", "1"); });
  send("Request_InitRootMasterSyncPosition", [manager](Request* r) {
    manager->nSyncPositionId = 9;
    return Request_InitRootMasterSyncPosition(r, "position startpos");
  });
  send("Request_InitRootMasterSetOption", [](Request* r) { return Request_InitRootMasterSetOption(r, "b", "2"); });
  send("Request_InitRootMasterNewGame", Request_InitRootMasterNewGame);
  send("Request_InitMasterStop", [](Request* r) { return Request_InitMasterStop(r, 5); });
  meet();
  ASSERT_TRUE(serve_until([&] { return manager->nSyncedSetOptionCount == 2 && manager->nSyncedNewGameCount == 1; }));
  meet();
  EXPECT_EQ(manager->nSyncedSetOptionCount, 2);
  EXPECT_EQ(manager->nSyncedNewGameCount, 1);
}

}  // namespace
