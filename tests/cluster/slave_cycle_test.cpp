// The slave work cycle in one process: the back-off after refusals, the
// choice of the rank to ask, and work items run through the real dispatch
// (the item and its answer travel to the own rank): an item whose
// move-ahead list does not fit is refused and answered without a value, and
// an item is searched to its own depth whatever "Search Depth" says. A stop
// that overtakes its item (requests are taken before results) ends the item
// before it is searched.
#include "cluster/slave_cycle.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/option.h"
#include "base/protocol_flags.h"
#include "base/return_position.h"
#include "chess/move.h"
#include "chess/value.h"
#include "chess/make.h"
#include "cluster/message_types.h"
#include "search/driver.h"
#include "search/stack.h"
#include "../search/search_test_util.h"
#include "service_test_util.h"

namespace {

using BackOff = ServiceTest;

// Calls of the back-off until it lets a request go, the granting call included.
int calls_until_request(YBWCManager* manager) {
  for (int calls = 1; calls < 100000; calls++)
    if (YBWCManager_IsTimeToRequestWork(manager)) return calls;
  return -1;
}

TEST_F(BackOff, WaitsDoubleWithTheRefusalsUpToTheLimit) {
  PellamConfiguration* config = manager_->pConfiguration;
  config->nRequestForWorkRepeatBlockFactor = 2;
  config->nRequestForWorkWaitCounterToDouble = 10;
  config->nRequestForWorkWaitCounterLimit = 1000;
  struct Case {
    int refusals;
    int calls;
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{2, 11}, Case{3, 11}, Case{4, 21}, Case{6, 41}, Case{15, 641},
                       Case{16, 1001}, Case{200, 1001}}) {
    manager_->nNoWorkAvailableInARow = c.refusals;
    manager_->nRequestForWorkWaitCounter = 0;
    calls_until_request(manager_);  // the counter starts from a request
    EXPECT_EQ(calls_until_request(manager_), c.calls) << c.refusals << " refusals";
  }
  // A factor below 1 counts as 1: two refusals are two doublings' worth.
  config->nRequestForWorkRepeatBlockFactor = 0;
  manager_->nNoWorkAvailableInARow = 2;
  manager_->nRequestForWorkWaitCounter = 0;
  calls_until_request(manager_);
  EXPECT_EQ(calls_until_request(manager_), 21);
}

TEST_F(BackOff, TargetIsNeverTheOwnRankAndRootOnlyWhenConfigured) {
  manager_->nRank = 1;
  manager_->bSeedRandom = 1;
  for (int i = 0; i < 50; i++) EXPECT_EQ(YBWCManager_ChooseWorkTarget(manager_), 0);  // two processes
  manager_->nSize = 4;
  manager_->nRank = 2;
  std::vector<int> seen(4, 0);
  for (int i = 0; i < 400; i++) ++seen.at(YBWCManager_ChooseWorkTarget(manager_));
  EXPECT_EQ(seen[2], 0);
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[1], 0);  // the draws of rank 2 itself go to rank 1
  EXPECT_GT(seen[3], 0);
  manager_->pConfiguration->bOnlyDistributeWorkOfRootMaster = 1;
  EXPECT_EQ(YBWCManager_ChooseWorkTarget(manager_), 0);
  manager_->nSize = 2;
}

class WorkItem : public ServiceTest {
 protected:
  void SetUp() override {
    search_test_setup();
    ServiceTest::SetUp();
    saved_input_ = search_input_board();
    search_set_input_fen(START_FEN);
    manager_->bLoggedOn = 1;
    manager_->nSyncPositionId = 9;
    manager_->nState = NODE_STATE_WAITING_FOR_WORK;
    manager_->nMasterId = 0;
    config_search_depth_ = option_get("Search Depth");
  }
  void TearDown() override {
    option_set_value("Search Depth", config_search_depth_.c_str());
    search_input_board() = saved_input_;
    SearchControl->bSearchingSubproblem = false;
    SearchControl->pWorkItem = nullptr;
    ServiceTest::TearDown();
  }

  // A work item from the own rank: move-ahead list, move, depth; the
  // answers come back to this rank and are kept.
  void post_item(std::vector<uint16_t> move_ahead, int move, int depth) {
    on_request_ = [this](const Request* r) { requests_seen_.push_back(*r); };
    Result* item = Result_Construct();
    ASSERT_EQ(Result_InitMasterWorkAvailable(item, 1, 0, CALL_TYPE_FULL_ROOT, RETURN_POSITION_FULL_ROOT_01, move,
                                             depth, depth - 1, 1, 0, 1, 0, 0, -ValueInf, ValueInf, 1, 0,
                                             static_cast<int32_t>(move_ahead.size()), move_ahead.data(), 0, nullptr),
              0);
    post(item);
    Result_Destruct(item);
    drain();
  }

  // The slave's results that came back.
  std::vector<const Request*> results() const {
    std::vector<const Request*> found;
    for (const Request& r : requests_seen_)
      if (r.nType == REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT) found.push_back(&r);
    return found;
  }

  static int move_of(const char* text) {
    board_state_t board = search_input_board();
    return move_from_text(text, board);
  }

  board_state_t saved_input_{};
  std::string config_search_depth_;
  std::vector<Request> requests_seen_;
};

TEST_F(WorkItem, AnIllegalMoveAheadListIsRefusedAndAnsweredWithoutAValue) {
  // e2e5 is no move of the start position.
  const uint16_t e2e4 = static_cast<uint16_t>(move_of("e2e4"));
  post_item({static_cast<uint16_t>(e2e4 + 8)}, move_of("e7e5"), 3);
  ASSERT_EQ(results().size(), 1u);
  const Request& answer = *results()[0];
  EXPECT_EQ(answer.nFlags, kSlaveResultFlagsNoValue);
  EXPECT_EQ(answer.nBestValue, ValueNone);
  EXPECT_EQ(answer.nPVLength, 0);
  EXPECT_EQ(manager_->nState, NODE_STATE_SUPPORT_SEARCH);
  EXPECT_EQ(manager_->nTotalWorkStartedCount, 0);
  EXPECT_EQ(manager_->nMasterId, -1);

  // A null move for a side in check is no legal list either.
  manager_->nState = NODE_STATE_WAITING_FOR_WORK;
  search_set_input_fen("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1");
  post_item({MOVE_NULL}, move_of("e1e2"), 3);
  ASSERT_EQ(results().size(), 2u);
  EXPECT_EQ(results()[1]->nFlags, kSlaveResultFlagsNoValue);
}

TEST_F(WorkItem, ANodeHoldingABestMoveBackAnswersInsteadOfDroppingTheItem) {
  Delay = true;
  post_item({static_cast<uint16_t>(move_of("e2e4"))}, move_of("e2e4"), 3);
  Delay = false;
  ASSERT_EQ(results().size(), 1u);
  EXPECT_EQ(results()[0]->nFlags, kSlaveResultFlagsNoValue);
  EXPECT_EQ(manager_->nState, NODE_STATE_SUPPORT_SEARCH);
}

TEST_F(WorkItem, IsSearchedToItsOwnDepthAndAnswered) {
  option_set_value("Search Depth", "2");
  PellamConfiguration_ReadFromOptions(manager_->pConfiguration);
  manager_->pConfiguration->bUseEvent = 0;
  const int64_t started = manager_->nTotalWorkStartedCount;
  const int64_t finished = manager_->nTotalWorkFinishedCount;
  const int slot = manager_->nReturnPositionValueToIndex[RETURN_POSITION_FULL_ROOT_01];
  const int64_t items = manager_->returnPositionStatistics[slot].nWorkItems;
  const int e7e5 = [] {
    board_state_t board = search_input_board();
    undo_record_t undo;
    move_make(board, move_from_text("e2e4", board), undo);
    return move_from_text("e7e5", board);
  }();
  post_item({static_cast<uint16_t>(move_of("e2e4"))}, e7e5, 4);
  ASSERT_EQ(results().size(), 1u);
  const Request& answer = *results()[0];
  EXPECT_EQ(answer.nBestMove, e7e5);
  EXPECT_EQ(answer.nDepth, 4);
  EXPECT_GE(answer.nFlags, 1);
  EXPECT_NE(answer.nBestValue, ValueNone);
  EXPECT_GE(answer.nPVLength, 1);
  EXPECT_EQ(answer.PV[0], e7e5);
  EXPECT_EQ(manager_->nTotalWorkStartedCount, started + 1);
  EXPECT_EQ(manager_->nTotalWorkFinishedCount, finished + 1);
  EXPECT_EQ(manager_->returnPositionStatistics[slot].nWorkItems, items + 1);
  EXPECT_EQ(manager_->nState, NODE_STATE_SUPPORT_SEARCH);
  EXPECT_FALSE(SearchRunning);
  EXPECT_EQ(SearchControl->pWorkItem, nullptr);
}

TEST_F(WorkItem, AStopThatOvertakesItsItemEndsTheItemUnsearched) {
  const int64_t started = manager_->nTotalWorkStartedCount;
  const int64_t finished = manager_->nTotalWorkFinishedCount;
  const int64_t aborted = manager_->nTotalWorkAbortedCount;
  // The master stopped the item it had just sent: its stop is taken first.
  const int64_t next_work_id = MessageContext_GetInstance()->nWorkIdCounter + 1;
  post_request([next_work_id](Request* r) { return Request_InitMasterStop(r, next_work_id); });
  post_item({static_cast<uint16_t>(move_of("e2e4"))}, [] {
    board_state_t board = search_input_board();
    undo_record_t undo;
    move_make(board, move_from_text("e2e4", board), undo);
    return move_from_text("e7e5", board);
  }(), 4);
  ASSERT_EQ(results().size(), 1u);
  EXPECT_EQ(results()[0]->nWorkId, next_work_id);
  EXPECT_EQ(results()[0]->nFlags, kSlaveResultFlagsNoValue) << "searched for a master that has moved on";
  EXPECT_EQ(manager_->nTotalWorkStartedCount, started + 1);
  EXPECT_EQ(manager_->nTotalWorkAbortedCount, aborted + 1);
  EXPECT_EQ(manager_->nTotalWorkFinishedCount, finished);
  EXPECT_EQ(manager_->nState, NODE_STATE_SUPPORT_SEARCH);

  // A stop kept for one item never ends the next one.
  manager_->nState = NODE_STATE_WAITING_FOR_WORK;
  post_item({}, move_of("e2e4"), 3);
  ASSERT_EQ(results().size(), 2u);
  EXPECT_NE(results()[1]->nFlags, kSlaveResultFlagsNoValue);
}

}  // namespace
