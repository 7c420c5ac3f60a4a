// The stack's dealings with the slaves of its entries: stops when an entry
// ends (and the synchronised wait for their answers), window updates to the
// slaves below an entry, the wait at the end of a move loop, windows narrowed
// up the stack, and an entry whose child was ended from outside asking again
// instead of taking the child's meaningless value.
#include <gtest/gtest.h>

#include <algorithm>

#include "chess/legality.h"
#include "distribution_test_util.h"
#include "search/driver.h"
#include "search/report.h"

namespace {

using StackSlaves = DistributionTest;

class SlavesOfAnEntry : public DistributionTest {
 protected:
  // An All node at depth 6 whose moves 2 and 3 are held (work ids 41 and 42)
  // and whose move 4 was held and has come back.
  StackEntry& build() {
    StackEntry& e = entry_searching(1, 6, NODE_ALL, RETURN_POSITION_FULL_SEARCH_06, START_FEN, 3);
    hold(e, 2, 41);
    hold(e, 3, 42);
    hold(e, 4, 43);
    e.bMoveDoneList[4] = true;
    return e;
  }

  // Posts the slave's answer to a stop, as a stopped slave sends it.
  static void answer_stop(int64_t work_id) {
    const StackEntry& e = Stack.entries[0];
    int k = 0;
    while (k < e.nMoveCount && e.nWorkIdList[k] != work_id) ++k;
    post_request([&](Request* r) {
      return Request_InitSlaveProcessSearchResult(r, work_id, 0, k, MOVE_NONE, 0, 0, 0, 0, 0, nullptr, 0, 0.0, 0.0,
                                                  0.0, 500, 0);
    });
  }
};

TEST_F(SlavesOfAnEntry, StoppingAnEntryStopsEachSlaveStillHoldingAMoveOnce) {
  StackEntry& e = build();
  const int64_t sent_before = manager_->nTotalWorkAbortSendCount;
  EXPECT_EQ(Stack_StopEntry(e), 0);
  drain();
  EXPECT_TRUE(e.bStopped);
  EXPECT_EQ(stops_, (std::vector<int64_t>{41, 42}));
  EXPECT_EQ(manager_->nTotalWorkAbortSendCount, sent_before + 2);
  {
    LogCapture log(1);
    Stack_StopEntry(e);
    EXPECT_NE(log.text().find("ERROR Stack_StopEntry(... entry already stopped"), std::string::npos);
  }
  drain();
  StackEntry& quiet = entry_searching(1);
  stops_.clear();
  EXPECT_EQ(Stack_StopEntry(quiet), 0);
  drain();
  EXPECT_TRUE(stops_.empty()) << "an entry that never handed out work sends nothing";
}

TEST_F(SlavesOfAnEntry, ASynchronisedStopReturnsOnlyOnceEveryStoppedSlaveHasAnswered) {
  StackEntry& e = build();
  manager_->pConfiguration->bUseSynchronizedStackStopEntry = 1;
  on_request_ = [this](const Request* r) {
    if (r->nType != REQUEST_TYPE_MASTER_STOP) return;
    stops_.push_back(r->nWorkId);
    answer_stop(r->nWorkId);
  };
  EXPECT_EQ(Stack_StopEntry(e), 0);
  EXPECT_EQ(stops_.size(), 2u);
  EXPECT_TRUE(e.bMoveDoneList[2]);
  EXPECT_TRUE(e.bMoveDoneList[3]);
  EXPECT_EQ(e.nNodesList[2], 500);
  EXPECT_EQ(e.localData.fullSearchDat.best_value, -20) << "a stopped entry takes no value";
}

TEST_F(SlavesOfAnEntry, AWindowUpdateGoesToTheSlavesStillWorkingOnTheEntrysMoves) {
  StackEntry& e = build();
  const int64_t sent_before = manager_->nTotalUpdateSearchWindowSendCount;
  EXPECT_EQ(Stack_UpdateSearchWindowForEntry(e, 15, 50), 0);
  drain();
  ASSERT_EQ(updates_.size(), 2u);
  EXPECT_EQ(updates_[0].work_id, 41);
  EXPECT_EQ(updates_[1].work_id, 42);
  EXPECT_EQ(updates_[1].alpha, 15);
  EXPECT_EQ(updates_[1].beta, 50);
  EXPECT_EQ(manager_->nTotalUpdateSearchWindowSendCount, sent_before + 2);
  EXPECT_EQ(Stack.nUpdateSearchWindowRecursionLevel, 0);

  e.bStopped = true;
  EXPECT_EQ(Stack_UpdateSearchWindowForEntry(e, 20, 50), 0);
  drain();
  EXPECT_EQ(updates_.size(), 2u) << "a stopped entry's slaves are being stopped";
}

TEST_F(SlavesOfAnEntry, TheWaitAtTheEndOfTheLoopTakesTheResultsAsTheyArrive) {
  StackEntry& e = build();
  --Stack.nCount;  // the entry's own moves are done: it waits at the top
  post_request([](Request* r) {
    return Request_InitSlaveProcessSearchResult(r, 41, 0, 2, 0x1c, 30, SEARCH_FLAGS_EXACT, 5, 9, 0, nullptr, 0, 0.0,
                                                0.0, 0.0, 700, 0);
  });
  post_request([](Request* r) {
    return Request_InitSlaveProcessSearchResult(r, 42, 0, 3, 0x1d, 20, SEARCH_FLAGS_EXACT, 5, 9, 0, nullptr, 0, 0.0,
                                                0.0, 0.0, 800, 0);
  });
  Stack_WaitForSlaves(e);
  EXPECT_TRUE(e.bMoveDoneList[2]);
  EXPECT_TRUE(e.bMoveDoneList[3]);
  EXPECT_EQ(e.localData.fullSearchDat.best_value, 30);
  EXPECT_EQ(e.localData.fullSearchDat.best_move, 0x1c);

  StackEntry& dead = build();
  dead.bAlive = false;
  Stack_WaitForSlaves(dead);  // returns at once: nothing of a dead entry is needed
  EXPECT_FALSE(dead.bMoveDoneList[2]);
}

TEST_F(StackSlaves, ANarrowedNullWindowEndsTheChildAndEverythingAboveButNotTheParent) {
  StackEntry& parent = entry_searching(1, 6, NODE_PV);
  parent.parameters.fullSearchPar.alpha = 10;
  StackEntry& scout = Stack.entries[1];
  scout.nReturnPosition = RETURN_POSITION_FULL_SEARCH_07;
  scout.parameters.fullSearchPar.alpha = -11;
  scout.parameters.fullSearchPar.beta = -10;
  push_leaf(RETURN_POSITION_FULL_SEARCH_06);
  Stack_PropagateSearchWindow(1);
  EXPECT_TRUE(scout.bAlive) << "the parent's window has not changed";

  parent.parameters.fullSearchPar.alpha = 20;
  Stack_PropagateSearchWindow(1);
  EXPECT_TRUE(parent.bAlive);
  EXPECT_FALSE(Stack.entries[1].bAlive);
  EXPECT_FALSE(Stack.entries[2].bAlive);
}

TEST_F(StackSlaves, NarrowedWindowsFollowEachReturnPositionsRule) {
  StackEntry& parent = entry_searching(1, 6, NODE_PV);
  StackEntry& child = Stack.entries[1];
  const auto window_after = [&](int position, int alpha, int beta, int parent_alpha, int parent_beta) {
    child.bAlive = true;
    child.nReturnPosition = position;
    child.parameters.fullSearchPar.alpha = alpha;
    child.parameters.fullSearchPar.beta = beta;
    child.localData.fullSearchDat.old_alpha = alpha;
    parent.parameters.fullSearchPar.alpha = parent_alpha;
    parent.parameters.fullSearchPar.beta = parent_beta;
    Stack_PropagateSearchWindow(1);
    return std::make_pair(child.parameters.fullSearchPar.alpha, child.parameters.fullSearchPar.beta);
  };
  using W = std::pair<int, int>;
  EXPECT_EQ(window_after(RETURN_POSITION_FULL_SEARCH_06, -50, 50, -20, 10), W(-10, 20));
  EXPECT_EQ(child.localData.fullSearchDat.old_alpha, -10) << "a raised alpha is the child's old alpha too";
  EXPECT_EQ(window_after(RETURN_POSITION_FULL_SEARCH_04, -50, 50, -20, 10), W(-20, 10)) << "IID: the same window";
  EXPECT_EQ(window_after(RETURN_POSITION_FULL_SEARCH_05, -30000, 50, -20, 10), W(-30000, 10)) << "beta only";
  EXPECT_EQ(window_after(RETURN_POSITION_FULL_SEARCH_06, -10, -5, -20, 10), W(-10, -5)) << "already narrower";
  EXPECT_TRUE(child.bAlive);
  window_after(RETURN_POSITION_FULL_SEARCH_02, -50, -49, -60, 40);
  EXPECT_FALSE(child.bAlive) << "the null-move search's null window moved with beta";
  // The child has raised its own alpha to 25; the parent's alpha rises to -20.
  EXPECT_EQ(window_after(RETURN_POSITION_FULL_SEARCH_06, 25, 60, -20, 40), W(19, 20));
  EXPECT_FALSE(child.bAlive) << "the child's window closed";
}

TEST_F(StackSlaves, AnEntryWhoseChildWasEndedFromOutsideSearchesTheMoveAgain) {
  StackEntry& e = entry_searching(1, 6, NODE_ALL);
  FullSearchDat& d = e.localData.fullSearchDat;
  d.best_value = 5;
  e.parameters.fullSearchPar.alpha = 20;
  Stack.entries[1].bAlive = false;
  Stack.nCount = 1;
  e.nResult = ValueNone;  // the ended child's "no value": +32767 from here, far above beta
  const uint64_t key = SearchCurrent->board.hash_key;
  EXPECT_EQ(full_search_step(e, RETURN_POSITION_FULL_SEARCH_06), NodePushed);
  EXPECT_EQ(SearchCurrent->board.hash_key, key) << "the same move, still on the board";
  ASSERT_EQ(Stack.nCount, 2);
  const StackEntry& again = Stack.entries[1];
  EXPECT_TRUE(again.bAlive);
  EXPECT_EQ(again.nReturnPosition, RETURN_POSITION_FULL_SEARCH_06);
  EXPECT_EQ(again.parameters.fullSearchPar.alpha, -50);
  EXPECT_EQ(again.parameters.fullSearchPar.beta, -20);
  EXPECT_EQ(d.best_value, 5);
  EXPECT_FALSE(e.bCutOff);
}

TEST_F(StackSlaves, AnEndedNullMoveSearchProvesNothing) {
  StackEntry& e = push_full_search(START_FEN, RETURN_POSITION_FULL_SEARCH_06, 6, NODE_CUT, -50, 50, 3);
  FullSearchDat& d = e.localData.fullSearchDat;
  d.trans_move = MOVE_NONE;
  null_make(SearchCurrent->board, d.undo);
  push_leaf(RETURN_POSITION_FULL_SEARCH_02);
  Stack.entries[1].bAlive = false;
  Stack.nCount = 1;
  e.nResult = ValueNone;
  EXPECT_EQ(full_search_step(e, RETURN_POSITION_FULL_SEARCH_02), NodePushed);
  EXPECT_FALSE(e.bCutOff) << "no null-move cut-off from a search that never finished";
  EXPECT_EQ(Stack.entries[1].nReturnPosition, RETURN_POSITION_FULL_SEARCH_06) << "the move loop has started";
}

TEST_F(StackSlaves, TheRootAsksAnEndedScoutAgainWithItsPresentAlpha) {
  StackEntry& root = push_root(START_FEN, 5);
  EXPECT_EQ(full_root_step(root, RETURN_POSITION_UNDEFINED), NodePushed);
  // The first move's search returns 10.
  Stack.nCount = 1;
  root.nResult = -10;
  EXPECT_EQ(full_root_step(root, RETURN_POSITION_FULL_ROOT_01), NodePushed);
  ASSERT_EQ(Stack.entries[1].nReturnPosition, RETURN_POSITION_FULL_ROOT_02);
  // A slave's root move raises alpha to 40 while the second move's scout runs.
  root.parameters.fullRootPar.alpha = 40;
  root.localData.fullRootDat.best_value[0] = 40;
  Stack_PropagateSearchWindow(1);
  ASSERT_FALSE(Stack.entries[1].bAlive);
  Stack.nCount = 1;
  root.nResult = ValueNone;
  EXPECT_EQ(full_root_step(root, RETURN_POSITION_FULL_ROOT_02), NodePushed);
  EXPECT_EQ(Stack.entries[1].nReturnPosition, RETURN_POSITION_FULL_ROOT_02);
  EXPECT_EQ(Stack.entries[1].parameters.fullSearchPar.alpha, -41);
  EXPECT_EQ(Stack.entries[1].parameters.fullSearchPar.beta, -40);
  EXPECT_EQ(root.localData.fullRootDat.best_value[0], 40);
}

// A whole search in which a root move goes to a slave that never answers: the
// root waits for it at the end of its loop, servicing messages, until the
// search is stopped; the held move's slave is then told to stop.
struct WaitingSearch {
  static inline int64_t handed_out = -1;
  static inline int64_t nodes_at_last_check = -1;
  static inline int checks_without_nodes = 0;
  static inline bool serviced_while_waiting = false;
  static inline bool answer_seen = false;

  static void on_statistics(const statistics_report_t&) {
    SearchInfo->last_time = -10.0;  // the next check reports again
    YBWCManager* manager = YBWCManager_GetInstance();
    if (handed_out < 0) {
      if (SearchCurrent->depth < 5 || Stack.nCount < 2 || Stack.entries[0].nBrothersFinished < 1) return;
      YBWCManager_CheckSendWorkToSlave(manager, 1, manager->nSyncPositionId);
      for (int k = 0; k < Stack.entries[0].nMoveCount; ++k)
        if (Stack_MoveIsHeld(Stack.entries[0], k)) handed_out = Stack.entries[0].nWorkIdList[k];
      return;
    }
    // Only the wait for slaves checks the search without counting nodes.
    if (SearchCurrent->node_nb == nodes_at_last_check) {
      ++checks_without_nodes;
    } else {
      checks_without_nodes = 0;
      nodes_at_last_check = SearchCurrent->node_nb;
    }
    if (checks_without_nodes == 10)
      DistributionTest::post_request_from_search(
          [](Request* r) { return Request_InitNonRootMasterSyncAfterBroadcast(r); });
    if (answer_seen && checks_without_nodes >= 20) {
      serviced_while_waiting = true;
      search_set_stop_request();
    }
  }
};

TEST_F(StackSlaves, AWaitForASlaveThatNeverAnswersEndsWhenTheSearchIsStopped) {
  WaitingSearch::handed_out = -1;
  WaitingSearch::nodes_at_last_check = -1;
  WaitingSearch::checks_without_nodes = 0;
  WaitingSearch::serviced_while_waiting = WaitingSearch::answer_seen = false;
  on_result_ = [](const Result* r) {
    if (r->nType == RESULT_TYPE_SYNC_AFTER_BROADCAST) WaitingSearch::answer_seen = true;
  };
  SearchCallbacks callbacks{};
  callbacks.on_statistics = WaitingSearch::on_statistics;
  search_set_callbacks(callbacks);
  PellamConfiguration* c = manager_->pConfiguration;
  c->nMinimumBrothersFinishedRoot = 1;
  c->nMinimumRemoteSearchDepth = c->nMinimumRemoteSearchDepthSameNode = 4;
  c->nCheckNb = c->nCheckInc = 2000;

  trans_wipe(Trans, true);
  static search_limits_t limits;
  board_from_fen(limits.board, START_FEN);
  GoParameters go;
  go.depth = 40;
  time_allocate(go, limits.board.side_to_move, time_options_read(), limits);
  search_go(limits);
  search_set_callbacks(SearchCallbacks{});
  drain();

  ASSERT_GE(WaitingSearch::handed_out, 1) << "a root move went to the slave";
  EXPECT_TRUE(WaitingSearch::serviced_while_waiting) << "messages were taken during the wait";
  EXPECT_NE(std::find(stops_.begin(), stops_.end(), WaitingSearch::handed_out), stops_.end())
      << "the abandoned search stopped the slave";
  EXPECT_EQ(Stack.nCount, 0);
  board_state_t board;
  board_from_fen(board, START_FEN);
  EXPECT_TRUE(move_is_legal(board, SearchBest[0].move));
}

}  // namespace
