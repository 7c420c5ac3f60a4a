// A slave's result on the master: refused unless it belongs to the current
// position, entry and work item (before anything is written), merged into a
// full-search or root entry like the entry's own move, a raised alpha sent to
// the entry's other slaves and up the stack, a value at beta cutting the
// entry off, and a result without a searched move given back to the entry.
#include <gtest/gtest.h>

#include "chess/trans.h"
#include "distribution_test_util.h"
#include "search/report.h"

namespace {

class SlaveResult : public DistributionTest {
 protected:
  // A Cut node at depth 6, window (-50, 50), its move 0 searched (value 10),
  // move 1 searched locally now, moves 2 and 3 held by the slave (work ids 41
  // and 42).
  StackEntry& cut_node_with_two_slaves() {
    StackEntry& e = entry_searching(1, 6, NODE_CUT, RETURN_POSITION_FULL_SEARCH_06, START_FEN, 2);
    FullSearchDat& d = e.localData.fullSearchDat;
    d.best_value = 10;
    d.best_move = e.nMoveList[0];
    e.parameters.fullSearchPar.alpha = 10;
    Stack.entries[1].parameters.fullSearchPar.alpha = -50;
    Stack.entries[1].parameters.fullSearchPar.beta = -10;
    hold(e, 2, 41);
    hold(e, 3, 42);
    for (int k = 0; k < 4; ++k) e.nNodesList[k] = e.nValueList[k] = -7;
    return e;
  }

  void process(Request r) { EXPECT_EQ(YBWCManager_ProcessSlaveResult(manager_, &r), 0); }
};

TEST_F(SlaveResult, ResultsForAnotherPositionEntryMoveOrWorkItemAreRefusedBeforeAnythingIsWritten) {
  StackEntry& e = cut_node_with_two_slaves();
  const int move = e.nMoveList[2];
  Request stale = slave_result(0, 2, 41, move, 30);
  stale.nSyncPositionId = kPosition - 1;
  Request below = slave_result(-1, 2, 41, move, 30);
  Request above = slave_result(Stack.nCount, 2, 41, move, 30);
  Request negative_move = slave_result(0, -1, 41, move, 30);
  Request beyond_table = slave_result(0, e.nMoveCount, 41, move, 30);
  Request old_work = slave_result(0, 2, 40, move, 30);
  Request not_held = slave_result(0, 0, -1, move, 30);
  for (Request* r : {&stale, &below, &above, &negative_move, &beyond_table, &old_work, &not_held}) {
    SearchControl->nSlaveNodesReceived = 0;
    process(*r);
    EXPECT_EQ(SearchControl->nSlaveNodesReceived, 1000) << "kept out of the running root move's count";
  }
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(e.nNodesList[k], -7);
    EXPECT_EQ(e.nValueList[k], -7);
  }
  EXPECT_FALSE(e.bMoveDoneList[2]);
  EXPECT_EQ(e.nSlaveRankList[2], kSlave);
  EXPECT_EQ(e.localData.fullSearchDat.best_value, 10);
  EXPECT_EQ(e.parameters.fullSearchPar.alpha, 10);
  EXPECT_EQ(manager_->pProcessorHandlers[kSlave]->nTransUsed, 0u);
  drain();
  EXPECT_TRUE(updates_.empty());
}

TEST_F(SlaveResult, ARaisedAlphaGoesToTheEntrysOtherSlavesAndNarrowsTheEntriesAbove) {
  StackEntry& e = cut_node_with_two_slaves();
  const int64_t sent_before = manager_->nTotalUpdateSearchWindowSendCount;
  // A slave of the entry above, which hears of its own narrower window only.
  StackEntry& above = Stack.entries[1];
  generate(above, 2);
  hold(above, 1, 77);
  const int move = e.nMoveList[2];
  Request r = slave_result(0, 2, 41, move, 30);
  r.nPVLength = 2;
  r.PV[1] = 0x123;
  r.PV[2] = MOVE_NONE;
  process(r);
  drain();
  const FullSearchPar& p = e.parameters.fullSearchPar;
  const FullSearchDat& d = e.localData.fullSearchDat;
  EXPECT_TRUE(e.bMoveDoneList[2]);
  EXPECT_EQ(e.nNodesList[2], 1000);
  EXPECT_EQ(e.nValueList[2], 30);
  EXPECT_EQ(d.best_value, 30);
  EXPECT_EQ(d.best_move, move);
  EXPECT_EQ(p.alpha, 30);
  EXPECT_EQ(p.pv[0], move);
  EXPECT_EQ(p.pv[1], 0x123);
  EXPECT_EQ(d.played[d.played_nb - 1], move);
  EXPECT_EQ(p.node_type, NODE_ALL) << "a Cut node whose move failed low becomes an All node";
  EXPECT_EQ(manager_->pProcessorHandlers[kSlave]->nTransUsed, 123u);
  EXPECT_EQ(SearchCurrent->max_depth, 7 + 3);
  ASSERT_EQ(updates_.size(), 2u) << "the other slave of the entry, then the slave above";
  EXPECT_EQ(updates_[0].work_id, 42);
  EXPECT_EQ(updates_[0].alpha, 30);
  EXPECT_EQ(updates_[0].beta, 50);
  EXPECT_EQ(above.parameters.fullSearchPar.beta, -30) << "the child's window follows its parent's alpha";
  EXPECT_EQ(above.parameters.fullSearchPar.alpha, -50);
  EXPECT_EQ(updates_[1].work_id, 77);
  EXPECT_EQ(updates_[1].alpha, -50);
  EXPECT_EQ(updates_[1].beta, -30);
  EXPECT_EQ(manager_->nTotalUpdateSearchWindowSendCount, sent_before + 2);
  EXPECT_TRUE(above.bAlive);
}

TEST_F(SlaveResult, AValueAtBetaCutsTheEntryOffAndItEndsWithTheSlavesMove) {
  StackEntry& e = cut_node_with_two_slaves();
  const int move = e.nMoveList[3];
  process(slave_result(0, 3, 42, move, 60));
  EXPECT_TRUE(e.bCutOffBySlave);
  for (int k = 0; k < Stack.nCount; ++k) EXPECT_FALSE(Stack.entries[k].bAlive) << k;

  // The search resumes the entry when its child has unwound.
  Stack.nCount = 1;
  e.nResult = ValueNone;
  trans_wipe(Trans, true);
  SearchParameters->bUseTranspositionTable = true;
  const uint64_t key = SearchCurrent->board.hash_key;  // still after the entry's own move
  const int value = full_search_step(e, RETURN_POSITION_FULL_SEARCH_06);
  drain();
  EXPECT_EQ(value, 60);
  EXPECT_NE(SearchCurrent->board.hash_key, key) << "the entry took its own move back";
  EXPECT_TRUE(e.bStopped);
  EXPECT_EQ(stops_, (std::vector<int64_t>{41})) << "the other slave is stopped";
  entry_t* found = nullptr;
  int trans_move = 0, depth = 0, flags = 0, trans_value = 0;
  ASSERT_TRUE(trans_probe(Trans, SearchCurrent->board.hash_key, &found, &trans_move, &depth, &flags, &trans_value));
  EXPECT_EQ(trans_move, move);
  EXPECT_EQ(depth, 6);
  EXPECT_EQ(flags, TRANS_BOUND_LOWER);
  EXPECT_EQ(trans_value, 60);
}

TEST_F(SlaveResult, AStoppedEntryOnlyMarksTheMoveDone) {
  StackEntry& e = cut_node_with_two_slaves();
  e.bStopped = true;
  process(slave_result(0, 2, 41, e.nMoveList[2], 60));
  EXPECT_TRUE(e.bMoveDoneList[2]);
  EXPECT_EQ(e.localData.fullSearchDat.best_value, 10);
  EXPECT_FALSE(e.bCutOffBySlave);
  EXPECT_TRUE(e.bAlive);
}

TEST_F(SlaveResult, AResultWithoutASearchedMoveGivesTheMoveBackInsteadOfAValue) {
  StackEntry& e = cut_node_with_two_slaves();
  Request nothing = slave_result(0, 2, 41, e.nMoveList[2], 0);
  nothing.nFlags = 0;  // stopped before it searched anything
  process(nothing);
  EXPECT_FALSE(e.bMoveDoneList[2]);
  EXPECT_EQ(e.nSlaveRankList[2], -1);
  EXPECT_EQ(e.nWorkIdList[2], -1);
  EXPECT_EQ(e.localData.fullSearchDat.best_value, 10) << "no value 0 for a move nobody searched";
  EXPECT_EQ(Stack_FirstFreeMove(e), 2);

  Request no_move = slave_result(0, 3, 42, MOVE_NONE, 0);
  e.bStopped = true;
  process(no_move);
  EXPECT_TRUE(e.bMoveDoneList[3]) << "a stopped entry only waits for the answer";
  EXPECT_EQ(e.localData.fullSearchDat.best_value, 10);
}

class RootSlaveResult : public SlaveResult {
 protected:
  void SetUp() override {
    SlaveResult::SetUp();
    manager_->pConfiguration->bSendAdditionalUCIInfo = 1;
    saved_callbacks_ = SearchCallbacks{};
    SearchCallbacks callbacks{};
    callbacks.on_postmove = [](const postmove_report_t& report) { Postmoves.push_back(report); };
    callbacks.on_best_lines = [](const best_lines_report_t&) { ++BestLines; };
    search_set_callbacks(callbacks);
    Postmoves.clear();
    BestLines = 0;
  }
  void TearDown() override {
    search_set_callbacks(SearchCallbacks{});
    SlaveResult::TearDown();
  }

  // The root at depth 5 with its first move searched (value 10), move 1
  // searched locally, move 3 held by the slave (work id 7).
  StackEntry& root_with_a_slave() {
    StackEntry& root = push_root(START_FEN, 5);
    FullRootDat& d = root.localData.fullRootDat;
    root.bMoveDoneList[0] = true;
    d.best_value[0] = 10;
    root.parameters.fullRootPar.alpha = 10;
    SearchBest[0].move = root.nMoveList[0];
    SearchBest[0].value = 10;
    SearchBestLast[0].value = 0;
    search_locally(root, 1);
    StackEntry& scout = push_leaf(RETURN_POSITION_FULL_ROOT_02);
    scout.parameters.fullSearchPar.alpha = -11;
    scout.parameters.fullSearchPar.beta = -10;
    hold(root, 3, 7);
    return root;
  }

  static inline std::vector<postmove_report_t> Postmoves;
  static inline int BestLines = 0;
  SearchCallbacks saved_callbacks_{};
};

TEST_F(RootSlaveResult, ABetterRootMoveBecomesTheBestLineAndIsReportedWithItsPostmoveLine) {
  StackEntry& root = root_with_a_slave();
  const int move = root.nMoveList[3];
  SearchControl->nSlaveNodesReceived = 0;
  process(slave_result(0, 3, 7, move, 25, 5000));
  EXPECT_EQ(SearchBest[0].move, move);
  EXPECT_EQ(SearchBest[0].value, 25);
  EXPECT_EQ(SearchBest[0].flags, SEARCH_FLAGS_EXACT);
  EXPECT_EQ(SearchBest[0].pv[0], move);
  EXPECT_EQ(root.localData.fullRootDat.best_value[0], 25);
  EXPECT_EQ(root.parameters.fullRootPar.alpha, 25);
  EXPECT_EQ(root_list_.scores[3], 25);
  EXPECT_EQ(BestLines, 1) << "above the previous iteration's value: reported at once";
  ASSERT_EQ(Postmoves.size(), 1u);
  EXPECT_EQ(Postmoves[0].move, move);
  EXPECT_EQ(Postmoves[0].move_number, 4);
  EXPECT_EQ(Postmoves[0].processor_id, kSlave);
  EXPECT_EQ(Postmoves[0].nodes, 5000);
  EXPECT_EQ(Postmoves[0].value, 25);
  EXPECT_EQ(SearchControl->nSlaveNodesReceived, 5000) << "not nodes of the root move searched here";
  EXPECT_FALSE(Stack.entries[1].bAlive) << "the scout of the local move asked the wrong question now";
}

TEST_F(RootSlaveResult, ARootValueAtBetaEndsTheRootAndEverythingAbove) {
  StackEntry& root = root_with_a_slave();
  root.parameters.fullRootPar.beta = 20;
  process(slave_result(0, 3, 7, root.nMoveList[3], 40));
  EXPECT_TRUE(root.bCutOffBySlave);
  EXPECT_FALSE(root.bAlive);
  EXPECT_FALSE(Stack.entries[1].bAlive);
  EXPECT_EQ(root.localData.fullRootDat.best_value[0], 40);
}

}  // namespace
