#include "cluster/message_service.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/timer.h"
#include "cluster/message_send.h"
#include "search/search_records.h"
#include "service_test_util.h"

namespace {

using MessageService = ServiceTest;

int32_t init_idle(Request* r) { return Request_InitRootMasterIdleInvitation(r); }

TEST_F(MessageService, OneProcessReturnsAtOnceWithoutProbing) {
  post_request(init_idle);
  manager_->nSize = 1;
  EXPECT_EQ(YBWCManager_ServiceMessages(manager_), 0);
  EXPECT_TRUE(requests_.empty());
  int flag = 0;
  MPI_Iprobe(MPI_ANY_SOURCE, 1, MPI_COMM_WORLD, &flag, MPI_STATUS_IGNORE);
  EXPECT_EQ(flag, 1);  // still waiting
  manager_->nSize = 2;
}

TEST_F(MessageService, WaitingRequestsAreTakenInOneCallWithTheCounterLineAndTheHighWaterMark) {
  for (int i = 0; i < 3; i++) post_request(init_idle);
  {
    LogCapture log(6);
    EXPECT_EQ(YBWCManager_ServiceMessages(manager_), 0);
    EXPECT_NE(log.text().find("YBWCManager_ServiceRequests(... nRequestCounter = 3 \n"), std::string::npos);
    EXPECT_NE(log.text().find("Request received from processor <0>, Type = 4 <REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION>"),
              std::string::npos);
  }
  EXPECT_EQ(requests_.size(), 3u);
  EXPECT_EQ(manager_->nServicedRequestInARowMax, 3);
  post_request(init_idle);
  YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(manager_->nServicedRequestInARowMax, 3);
}

TEST_F(MessageService, OneCallTakesABoundedNumberOfMessages) {
  // A flood of messages must not keep a search from running.
  for (int i = 0; i < kMaxMessagesPerService + 8; i++)
    post_request([i](Request* r) { return Request_InitMasterStop(r, i); });
  YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(requests_.size(), static_cast<size_t>(kMaxMessagesPerService));
  YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(requests_.size(), static_cast<size_t>(kMaxMessagesPerService + 8));
}

TEST_F(MessageService, NestedCallsStopTakingMessagesAtTheNestingLimit) {
  // Every dispatch services again (as a send's wait does): without a bound
  // the stack would grow with every message waiting.
  int deepest = 0;
  on_request_ = [&](const Request*) {
    deepest = std::max(deepest, manager_->nServiceMessagesDepth);
    YBWCManager_ServiceMessages(manager_);
  };
  for (int i = 0; i < 3 * kMaxServiceNesting; i++)
    post_request([i](Request* r) { return Request_InitMasterStop(r, i); });
  YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(deepest, kMaxServiceNesting);
  on_request_ = nullptr;
  drain();
  EXPECT_EQ(requests_.size(), static_cast<size_t>(3 * kMaxServiceNesting));
  EXPECT_EQ(manager_->nServiceMessagesDepth, 0);
}

TEST_F(MessageService, RequestsForAnotherStateAreActedOnLaterInOrderExactlyOnce) {
  manager_->nState = NODE_STATE_SEARCHING;
  post_request([](Request* r) { return Request_InitRootMasterIdleInvitation(r); });
  post_request([](Request* r) {
    YBWCManager_GetInstance()->nSyncPositionId = 7;
    return Request_InitRootMasterSyncPosition(r, "position startpos");
  });
  post_request([](Request* r) { return Request_InitMasterStop(r, 5); });  // acted on at once
  post_request([](Request* r) { return Request_InitRootMasterSupportSearch(r); });
  manager_->nSyncPositionId = 3;
  YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(requests_, (std::vector<int32_t>{REQUEST_TYPE_MASTER_STOP}));
  EXPECT_EQ(manager_->nBufferedDelayedRequestCount, 3);
  EXPECT_EQ(manager_->nState, NODE_STATE_SEARCHING);

  // Back to supporting the search: the kept requests run in arrival order.
  manager_->nState = NODE_STATE_SUPPORT_SEARCH;
  EXPECT_EQ(YBWCManager_DispatchDelayedRequests(manager_), 0);
  EXPECT_EQ(requests_, (std::vector<int32_t>{REQUEST_TYPE_MASTER_STOP, REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION,
                                             REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION,
                                             REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH}));
  EXPECT_EQ(manager_->nSyncPositionId, 7);
  EXPECT_EQ(manager_->nState, NODE_STATE_SUPPORT_SEARCH);
  EXPECT_EQ(manager_->nBufferedDelayedRequestCount, 0);
  EXPECT_EQ(manager_->pDelayedRequestHead, nullptr);
  EXPECT_EQ(manager_->nBufferedDelayedRequestCountMax, 3);
  EXPECT_EQ(YBWCManager_DispatchDelayedRequests(manager_), 0);
  EXPECT_EQ(requests_.size(), 4u);
}

TEST_F(MessageService, ANewRequestDoesNotOvertakeOlderDelayedOnes) {
  manager_->nState = NODE_STATE_SEARCHING;
  post_request([](Request* r) { return Request_InitRootMasterSupportSearch(r); });
  YBWCManager_ServiceMessages(manager_);
  // The state changes without the delayed list being run; the next request
  // of the same kind still comes after the older one.
  manager_->nState = NODE_STATE_IDLE;
  post_request([](Request* r) { return Request_InitRootMasterIdleInvitation(r); });
  YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(requests_, (std::vector<int32_t>{REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH,
                                             REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION}));
  EXPECT_EQ(manager_->nState, NODE_STATE_IDLE);
  EXPECT_EQ(manager_->nBufferedDelayedRequestCount, 0);
}

TEST_F(MessageService, ADispatchThatRunsTheDelayedListAgainNeverSeesItsOwnRecord) {
  // A delayed remote test runs the delayed list again when its search ends.
  manager_->nState = NODE_STATE_SEARCHING;
  for (int i = 0; i < 4; i++) post_request([](Request* r) { return Request_InitRootMasterIdleInvitation(r); });
  YBWCManager_ServiceMessages(manager_);
  ASSERT_EQ(manager_->nBufferedDelayedRequestCount, 4);
  std::vector<const Request*> seen;
  on_request_ = [&](const Request* request) {
    seen.push_back(request);
    if (seen.size() == 1) YBWCManager_DispatchDelayedRequests(manager_);
  };
  manager_->nState = NODE_STATE_IDLE;
  YBWCManager_DispatchDelayedRequests(manager_);
  ASSERT_EQ(seen.size(), 4u);
  for (size_t i = 0; i < seen.size(); i++)
    for (size_t j = i + 1; j < seen.size(); j++) EXPECT_NE(seen[i], seen[j]);
  EXPECT_EQ(manager_->nBufferedDelayedRequestCount, 0);
}

TEST_F(MessageService, KeepAliveOnEveryNthCallOfTheRootMasterOnly) {
  static int lines = 0;
  lines = 0;
  YBWCManager_SetKeepAliveWriter([] { ++lines; });
  manager_->pConfiguration->nTimerActionsInterval01 = 3;
  manager_->pConfiguration->bSendKeepAliveChars = 1;
  manager_->nTimerActionsCounter = 0;
  manager_->bRootMaster = 1;
  for (int i = 0; i < 9; i++) YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(lines, 3);
  manager_->bRootMaster = 0;
  for (int i = 0; i < 9; i++) YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(lines, 3);
  manager_->bRootMaster = 1;
  manager_->pConfiguration->bSendKeepAliveChars = 0;
  for (int i = 0; i < 9; i++) YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(lines, 3);
  YBWCManager_SetKeepAliveWriter(nullptr);
}

TEST_F(MessageService, PeriodicCleanupFreesCancelledRecords) {
  manager_->pConfiguration->nCleanupActionsInterval = 4;
  manager_->nCleanupActionsCounter = 0;
  Request* cancelled = ProcessorHandler_CreateRequest(handler0_);
  cancelled->bSendCancelled = 1;
  for (int i = 0; i < 3; i++) YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(handler0_->nBufferedRequestCount, 1);
  YBWCManager_ServiceMessages(manager_);
  EXPECT_EQ(handler0_->nBufferedRequestCount, 0);
}

TEST_F(MessageService, WaitingForWorkLineOnEveryCallOnceItsRateIsSet) {
  // The timers keep the interval of start-up (0), so a rate set later writes
  // the line on every call.
  Timer* timers[4];
  for (int i = 0; i < 4; i++) manager_->pDumpTimers[i] = timers[i] = Timer_Create(0);
  manager_->pConfiguration->nDebugWaitForWorkRate = 100;
  manager_->nNoWorkAvailableInARow = 2;
  manager_->nState = NODE_STATE_SUPPORT_SEARCH;
  {
    LogCapture log(0);
    YBWCManager_ServiceMessages(manager_);
    YBWCManager_ServiceMessages(manager_);
    const std::string text = log.text();
    const std::string line = "waiting for work, no work available in a row = 2\n";
    ASSERT_NE(text.find(line), std::string::npos);
    EXPECT_NE(text.find(line, text.find(line) + 1), std::string::npos);
  }
  manager_->pConfiguration->nDebugWaitForWorkRate = 0;
  for (Timer* timer : timers) Timer_Destruct(timer);
  for (Timer*& timer : manager_->pDumpTimers) timer = nullptr;
}

// ---- Dispatch -------------------------------------------------------------------------------

TEST_F(MessageService, AnswersComeBackAndAreCountedOnTheSendersHandler) {
  manager_->nSize = 2;
  manager_->bRootMaster = 1;
  post_request([](Request* r) { return Request_InitRootMasterLogonInvitation(r); });
  post_request([](Request* r) { return Request_InitRootMasterNewGame(r); });
  post_request([](Request* r) { return Request_InitRootMasterSetOption(r, "Hash", "16"); });
  post_request([](Request* r) { return Request_InitNonRootMasterSyncAfterBroadcast(r); });
  {
    LogCapture log(0);
    drain();
    const std::string text = log.text();
    EXPECT_NE(text.find("Processor <0> (1/1) on <"), std::string::npos);
    EXPECT_NE(text.find("> logged on\n"), std::string::npos);
    EXPECT_NE(text.find("> synced new game\n"), std::string::npos);
    EXPECT_NE(text.find("> synced set option\n"), std::string::npos);
    EXPECT_NE(text.find("> synced after broadcast\n"), std::string::npos);
  }
  EXPECT_EQ(manager_->bLoggedOn, 1);
  EXPECT_EQ(handler0_->bLoggedOn, 1);
  EXPECT_STRNE(handler0_->sProcessorName, "");
  EXPECT_EQ(handler0_->bSyncedNewGame, 1);
  EXPECT_EQ(handler0_->bSyncedSetOption, 1);
  EXPECT_EQ(handler0_->bSyncedAfterBroadcast, 1);
  EXPECT_EQ(manager_->nLoggedOnCount, 1);
  EXPECT_EQ(manager_->nSyncedNewGameCount, 1);
  EXPECT_EQ(manager_->nSyncedSetOptionCount, 1);
  EXPECT_EQ(manager_->nSyncedAfterBroadcastCount, 1);
  EXPECT_EQ(handler0_->nBufferedRequestCount + handler0_->nBufferedResultCount, 0);

  // Log-off and shutdown: the peer's node count and final states.
  manager_->nTotalNodes = 12345;
  manager_->nTotalNodesOfNonRootMasters = 0;
  post_request([](Request* r) { return Request_InitRootMasterLogoffInvitation(r); });
  drain();
  EXPECT_EQ(handler0_->nState, 8);
  EXPECT_EQ(manager_->nTotalNodesOfNonRootMasters, 12345);
  EXPECT_EQ(manager_->nLoggedOffCount, 1);
  EXPECT_EQ(manager_->nLoggedOnCount, 0);
  post_request([](Request* r) { return Request_InitRootMasterShutdown(r); });
  drain();
  EXPECT_EQ(handler0_->nState, 9);
  EXPECT_EQ(manager_->nShutdownCount, 1);
  EXPECT_EQ(manager_->nState, NODE_STATE_SHUTDOWN);
}

TEST_F(MessageService, WorkAnswersActOnlyOnANodeWaitingForWork) {
  manager_->nSyncPositionId = 4;
  manager_->nNoWorkAvailableInARow = 0;
  auto post_no_work = [] {
    Result* r = Result_Construct();
    ASSERT_EQ(Result_InitMasterNoWorkAvailable(r, 4), 0);
    post(r);
    Result_Destruct(r);
  };
  manager_->nState = NODE_STATE_SUPPORT_SEARCH;  // after a state change: ignored
  post_no_work();
  drain();
  EXPECT_EQ(manager_->nNoWorkAvailableInARow, 0);

  manager_->nState = NODE_STATE_WAITING_FOR_WORK;
  manager_->nMasterId = 1;
  post_no_work();
  drain();
  EXPECT_EQ(manager_->nState, NODE_STATE_SUPPORT_SEARCH);
  EXPECT_EQ(manager_->nMasterId, -1);
  EXPECT_EQ(manager_->nNoWorkAvailableInARow, 1);

  // A work item for an older position is dropped and the node asks again.
  const uint16_t none[1] = {0};
  manager_->nSyncPositionId = 3;
  Result* item = Result_Construct();
  ASSERT_EQ(Result_InitMasterWorkAvailable(item, 1, 2, 2, 230, 796, 5, 4, 2, 0, 0, 1, 0, -10, 10, 1, 0, 0, none, 0, none),
            0);
  post(item);
  Result_Destruct(item);
  manager_->nSyncPositionId = 4;
  manager_->nState = NODE_STATE_WAITING_FOR_WORK;
  drain();
  EXPECT_EQ(manager_->nState, NODE_STATE_SUPPORT_SEARCH);
  EXPECT_EQ(manager_->nNoWorkAvailableInARow, 0);
}

TEST_F(MessageService, AWorkRequestIsAnsweredNoWorkAvailableWithTheAskingId) {
  std::vector<int32_t> ids;
  on_result_ = [&](const Result* result) {
    if (result->nType == RESULT_TYPE_MASTER_NO_WORK_AVAILABLE) ids.push_back(result->nSyncPositionId);
  };
  post_request([](Request* r) { return Request_InitSlaveTryToGetWork(r, 21); });
  drain();
  EXPECT_EQ(ids, (std::vector<int32_t>{21}));
}

TEST_F(MessageService, ASlaveResultCountsItsNodesForTheCurrentSearch) {
  const int64_t before = SearchCurrent->node_nb;
  post_request([](Request* r) {
    return Request_InitSlaveProcessSearchResult(r, 1, 0, 0, 0, 0, 0, 1, 1, 0, nullptr, 0, 0, 0, 0, 777, 0);
  });
  drain();
  EXPECT_EQ(SearchCurrent->node_nb, before + 777);
  SearchCurrent->node_nb = before;
}

// ---- Malformed input ------------------------------------------------------------------------

struct Raw {
  char buffer[kPackBufferSize] = {};
  int32_t position = 0;
  void Int(int32_t v) { ASSERT_EQ(MPIWrapper_Pack_INT(v, buffer, &position), 0); }
  void Str(const std::string& s) { ASSERT_EQ(MPIWrapper_Pack_STR(s.c_str(), buffer, &position), 0); }
};

TEST_F(MessageService, RefusedRequestsAreLoggedAndStillAnsweredWhereTheSenderWaits) {
  std::vector<int32_t> answers;
  on_result_ = [&](const Result* result) { answers.push_back(result->nType); };
  Raw option;  // a name longer than its field
  option.Int(REQUEST_TYPE_ROOT_MASTER_SET_OPTION);
  option.Str(std::string(1025, 'n'));
  option.Str("1");
  Raw work;  // the position id is missing
  work.Int(REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK);
  Raw remote;  // go commands longer than their field
  remote.Int(REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST);
  remote.Str(std::string(1500, 'g'));
  LogCapture log(1);
  post(option.buffer, option.position, 1);
  post(work.buffer, work.position, 1);
  post(remote.buffer, remote.position, 1);
  drain();
  const std::string text = log.text();
  EXPECT_TRUE(requests_.empty());  // none acted on
  EXPECT_EQ(answers, (std::vector<int32_t>{RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION,
                                           RESULT_TYPE_MASTER_NO_WORK_AVAILABLE,
                                           RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST}));
  EXPECT_NE(text.find("ERROR RequestDispatcher_Dispatch(... failed at Request_GetParamterFromBuffer("),
            std::string::npos);
  size_t refusals = 0;
  for (size_t at = 0; (at = text.find("failed at RequestDispatcher_Dispatch(..., errorcode = 15\n", at)) !=
                      std::string::npos;
       ++at)
    ++refusals;
  EXPECT_EQ(refusals, 3u);
}

TEST_F(MessageService, CutOffMessagesAndIndexesOutsideTheirTablesAreRefused) {
  // A slave result cut in the middle of its fields.
  const uint16_t pv[3] = {796, 3380, 1234};
  Request* result = Request_Construct();
  ASSERT_EQ(Request_InitSlaveProcessSearchResult(result, 9, 4, 17, 796, -25, 3, 8, 14, 3, pv, 1, 1.5, 2.0, 0.5, 10, 0),
            0);
  // The same with a stack index no stack has.
  Request* outside = Request_Construct();
  ASSERT_EQ(Request_InitSlaveProcessSearchResult(outside, 9, 300, 17, 796, -25, 3, 8, 14, 3, pv, 1, 1.5, 2.0, 0.5, 10, 0),
            0);
  // A work item with a return position that does not exist and one with a
  // killer count below zero.
  const uint16_t none[1] = {0};
  Result* item = Result_Construct();
  ASSERT_EQ(Result_InitMasterWorkAvailable(item, 1, 2, 2, 999, 796, 5, 4, 2, 0, 0, 1, 0, -10, 10, 1, 0, 0, none, 0, none),
            0);
  Raw killers;
  killers.Int(RESULT_TYPE_MASTER_WORK_AVAILABLE);
  // The position id, the work id (two ints' worth), the 16 int fields and an
  // empty move-ahead list, with a valid call type and return position.
  for (int i = 0; i < 20; i++) killers.Int(i == 5 ? 2 : i == 6 ? 110 : 0);
  killers.Int(-3);
  LogCapture log(1);
  post(result->buffer, result->nPosition / 2, 1);
  post(outside);
  post(item);
  post(killers.buffer, killers.position, 2);
  drain();
  const std::string text = log.text();
  EXPECT_TRUE(requests_.empty());
  EXPECT_TRUE(results_.empty());
  EXPECT_NE(text.find("bytes received, errorcode = 14\n"), std::string::npos);
  EXPECT_NE(text.find("pThis->nStackIndex = 300 is outside its table, errorcode = 15\n"), std::string::npos);
  EXPECT_NE(text.find("pThis->nReturnPosition = 999 is outside its table, errorcode = 15\n"), std::string::npos);
  EXPECT_NE(text.find("ERROR YBWCManager_ServiceResults(... failed at ResultDispatcher_Dispatch(..., errorcode = 15\n"),
            std::string::npos);
  Request_Destruct(result);
  Request_Destruct(outside);
  Result_Destruct(item);
}

TEST_F(MessageService, UnknownAndUndefinedTypesReachTheirDispatcherBranches) {
  Raw unknown_request;
  unknown_request.Int(99);
  Raw undefined_request;
  undefined_request.Int(0);
  Raw unknown_result;
  unknown_result.Int(42);
  LogCapture log(1);
  post(unknown_request.buffer, unknown_request.position, 1);
  post(undefined_request.buffer, undefined_request.position, 1);
  post(unknown_result.buffer, unknown_result.position, 2);
  drain();
  const std::string text = log.text();
  EXPECT_NE(text.find("ERROR RequestDispatcher_Dispatch(... failed at switch(pRequest->nType) (default), errorcode = 15\n"),
            std::string::npos);
  EXPECT_NE(text.find("ERROR RequestDispatcher_Dispatch(... failed at switch(pRequest->nType) (REQUEST_TYPE_UNDEFINED), "
                      "errorcode = 15\n"),
            std::string::npos);
  EXPECT_NE(text.find("ERROR ResultDispatcher_Dispatch(... failed at switch(pResult->nType) (default), errorcode = 15\n"),
            std::string::npos);
}

}  // namespace
