// Handing out work from the stack: which entry and move a slave gets (elder
// brothers first, bounds, eligible nodes, order of the scan), what the work
// item carries, how the entry's table grows, and every reason for "no work".
#include <gtest/gtest.h>

#include "chess/killer.h"
#include "chess/trans.h"
#include "distribution_test_util.h"

namespace {

class WorkScan : public DistributionTest {
 protected:
  void SetUp() override {
    DistributionTest::SetUp();
    PellamConfiguration* c = manager_->pConfiguration;
    c->nMinimumBrothersFinished = 1;
    c->nBrothersFinishedTypeCutOffset = c->nBrothersFinishedTypeAllOffset = c->nBrothersFinishedTypePVOffset = 0;
    c->nMinimumBrothersFinishedRoot = 1;
    c->nMinimumRemoteSearchDepth = c->nMinimumRemoteSearchDepthSameNode = 4;
    c->nMaximumRemoteSearchDepth = 256;
    c->nMinimumRemoteSearchHeight = 0;
    c->nMaximumRemoteSearchHeight = 256;
    c->bAllowDistributionOfLastMoveInList = 1;
    c->bReverseSearchStackDistributionOrder = 0;
    c->bUseMultiStepStackSearch = 0;
    c->bOnlyDistributeWorkOfRootMaster = 0;
    c->bTransmitKillerTable = 1;
  }
  PellamConfiguration& config() { return *manager_->pConfiguration; }
};

TEST_F(WorkScan, AnEntryGivesItsThirdMoveOnceItsSecondIsSearchedLocally) {
  entry_searching(0);
  EXPECT_EQ(ask_for_work(), nullptr) << "the eldest brother is still being searched";
  EXPECT_FALSE(Stack.entries[0].bWorkSentToSlave);

  StackEntry& e = entry_searching(1);
  HeightOffset = 2;
  e.parameters.fullSearchPar.extended = true;
  SearchCurrent->max_height = 5;
  killer_set(4, 0x111, 0x222);
  killer_set(5, 0x333, 0x444);
  const uint64_t key = SearchCurrent->board.hash_key;
  const Result* item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(SearchCurrent->board.hash_key, key) << "the board is back at the top entry's position";
  EXPECT_EQ(e.nMoveCount, 3) << "the scan generated the third move";
  EXPECT_EQ(item->nSyncPositionId, kPosition);
  EXPECT_EQ(item->nStackIndex, 0);
  EXPECT_EQ(item->nMoveListIndex, 2);
  EXPECT_EQ(item->nMove, e.nMoveList[2]);
  EXPECT_EQ(item->nCallType, CALL_TYPE_FULL_SEARCH);
  EXPECT_EQ(item->nReturnPosition, RETURN_POSITION_FULL_SEARCH_06);
  EXPECT_EQ(item->nDepth, 6);
  EXPECT_EQ(item->nNewDepth, 5);
  EXPECT_EQ(item->nHeight, 5);
  EXPECT_EQ(item->bExtended, 1) << "the slave must not extend the capture again";
  EXPECT_EQ(item->bInPV, 0);
  EXPECT_EQ(item->nPlayedNb, 1);
  EXPECT_EQ(item->nAlpha, -50);
  EXPECT_EQ(item->nBeta, 50);
  EXPECT_EQ(item->nTransDate, Trans->current_date);
  EXPECT_EQ(item->bGoodCap, 1);
  EXPECT_EQ(item->nMoveAheadListCount, 0);
  ASSERT_EQ(item->nKillerListCount, 4) << "the killers of heights 4 and 5";
  EXPECT_EQ(item->KillerList[0], 0x111);
  EXPECT_EQ(item->KillerList[3], 0x444);
  EXPECT_EQ(e.nSlaveRankList[2], kSlave);
  EXPECT_EQ(e.nWorkIdList[2], item->nWorkId);
  EXPECT_FALSE(e.bMoveDoneList[2]);
  EXPECT_TRUE(e.bWorkSentToSlave);

  // The next request gets the next move under the next work id.
  const int64_t first_id = item->nWorkId;
  const Result* second = ask_for_work();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->nMoveListIndex, 3);
  EXPECT_EQ(second->nWorkId, first_id + 1);
}

TEST_F(WorkScan, NodeTypeOffsetsRaiseTheNumberOfElderBrothers) {
  config().nBrothersFinishedTypeCutOffset = 2;
  EXPECT_EQ(ask_for_work(), nullptr) << "empty stack";
  entry_searching(2, 6, NODE_CUT);
  EXPECT_EQ(ask_for_work(), nullptr);
  entry_searching(3, 6, NODE_CUT);
  EXPECT_NE(ask_for_work(), nullptr);
  entry_searching(1, 6, NODE_ALL);
  EXPECT_NE(ask_for_work(), nullptr) << "the offset is the Cut node's only";
}

TEST_F(WorkScan, RemainingDepthAndHeightBoundsWithTheSameHostsOwnMinimum) {
  entry_searching(1, 4);  // remaining depth 3
  EXPECT_EQ(ask_for_work(), nullptr);
  config().nMinimumRemoteSearchDepthSameNode = 3;
  EXPECT_EQ(ask_for_work(), nullptr) << "the slave is on another host";
  manager_->pProcessorHandlers[kSlave]->bSameNode = 1;
  EXPECT_NE(ask_for_work(), nullptr);
  manager_->pProcessorHandlers[kSlave]->bSameNode = 0;

  entry_searching(1, 7);
  config().nMaximumRemoteSearchDepth = 5;
  EXPECT_EQ(ask_for_work(), nullptr);
  config().nMaximumRemoteSearchDepth = 0;  // no maximum
  EXPECT_NE(ask_for_work(), nullptr);

  entry_searching(1);  // height 3
  config().nMaximumRemoteSearchHeight = 2;
  EXPECT_EQ(ask_for_work(), nullptr);
  config().nMaximumRemoteSearchHeight = 0;
  config().nMinimumRemoteSearchHeight = 4;
  EXPECT_EQ(ask_for_work(), nullptr);
  config().nMinimumRemoteSearchHeight = 3;
  EXPECT_NE(ask_for_work(), nullptr);
}

TEST_F(WorkScan, NoWorkFromANodeItsParentScoutsBeforeAPossibleReSearch) {
  for (int position : {RETURN_POSITION_FULL_SEARCH_07, RETURN_POSITION_FULL_ROOT_02, RETURN_POSITION_FULL_ROOT_03}) {
    entry_searching(1, 6, NODE_CUT, position);
    EXPECT_EQ(ask_for_work(), nullptr) << position;
  }
  for (int position : {RETURN_POSITION_FULL_SEARCH_08, RETURN_POSITION_FULL_ROOT_01, RETURN_POSITION_FULL_SEARCH_02}) {
    entry_searching(1, 6, NODE_CUT, position);
    EXPECT_NE(ask_for_work(), nullptr) << position;
  }
}

TEST_F(WorkScan, TheLastMoveStaysWithItsEntryUnlessAllowed) {
  // In check with two evasions (Kg2, Kh2).
  const char* two_moves = "k7/8/8/8/8/8/8/r6K w - - 0 1";
  config().nMinimumBrothersFinished = 0;
  config().bAllowDistributionOfLastMoveInList = 0;
  StackEntry& e = entry_searching(0, 6, NODE_ALL, RETURN_POSITION_FULL_SEARCH_06, two_moves);
  EXPECT_EQ(ask_for_work(), nullptr);
  EXPECT_EQ(e.nMoveCount, 2);
  EXPECT_TRUE(e.bMoveListComplete);
  EXPECT_EQ(ask_for_work(), nullptr) << "also once the generator is known to be exhausted";

  config().bAllowDistributionOfLastMoveInList = 1;
  const Result* item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nMoveListIndex, 1);
}

TEST_F(WorkScan, ARequestGrowsTheTableByAtMostTwoMovesAndNeverPastItsEnd) {
  config().bAllowDistributionOfLastMoveInList = 0;
  StackEntry& e = entry_searching(1);
  ASSERT_EQ(e.nMoveCount, 2);
  const Result* item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nMoveListIndex, 2);
  EXPECT_EQ(e.nMoveCount, 4) << "the move handed out and one behind it";
  item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nMoveListIndex, 3);
  EXPECT_EQ(e.nMoveCount, 5);

  // A table with one free place: the scan may fill it, never write behind it
  // (the next table in the entry would take the move).
  Stack_Reset();
  StackEntry& full = push_full_search(START_FEN, RETURN_POSITION_FULL_SEARCH_06, 6, NODE_ALL, -50, 50, 3);
  generate(full, 1);
  for (int k = 1; k < MoveTableSize - 1; ++k) Stack_AppendMove(full, full.nMoveList[0], HistoryProbMax);
  for (int k = 0; k < MoveTableSize - 1; ++k) full.bMoveDoneList[k] = true;
  full.nHistoryValueList[0] = 4242;
  full.nActualMoveIndex = MoveTableSize - 2;
  EXPECT_EQ(ask_for_work(), nullptr) << "the move after the last place cannot be generated";
  EXPECT_EQ(full.nMoveCount, MoveTableSize);
  EXPECT_EQ(full.nHistoryValueList[0], 4242);
  config().bAllowDistributionOfLastMoveInList = 1;
  full.nMoveCount = MoveTableSize - 1;
  item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nMoveListIndex, MoveTableSize - 1);
  EXPECT_EQ(ask_for_work(), nullptr);
  EXPECT_EQ(full.nMoveCount, MoveTableSize);
  EXPECT_EQ(full.nHistoryValueList[0], 4242);
}

TEST_F(WorkScan, HistoryValuesAreRefreshedAndAnExpectedHistoryPruningKeepsTheMoves) {
  config().nMinimumRemoteSearchDepth = 0;
  StackEntry& e = entry_searching(1, 3, NODE_CUT, RETURN_POSITION_FULL_SEARCH_06, START_FEN, 2);
  e.nHistoryValueList[2] = 77;
  e.nHistoryValueList[3] = HistoryProbMax;
  FullSearchDat& d = e.localData.fullSearchDat;

  // The move searched now has history score 3000 < 9830 / 2: its later quiet
  // moves are expected to be pruned. The entry's value field is used for
  // other things (here a child's value) and must not be read instead.
  d.history_value = 3000;
  d.value = 20000;
  EXPECT_EQ(ask_for_work(), nullptr);
  d.history_value = 5000;
  d.value = -20000;
  const Result* item = ask_for_work();
  ASSERT_NE(item, nullptr);
  board_state_t board;
  board_from_fen(board, START_FEN);
  EXPECT_EQ(item->nHistoryValue, history_prob(e.nMoveList[2], board));
  EXPECT_EQ(e.nHistoryValueList[2], 77) << "the table keeps its value";
  item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nHistoryValue, HistoryProbMax) << "not refreshed from 16384 up";

  e.parameters.fullSearchPar.node_type = NODE_PV;
  d.history_value = 0;
  EXPECT_NE(ask_for_work(), nullptr) << "a PV node prunes nothing by history";
}

TEST_F(WorkScan, RootMovesAfterTheElderBrotherSkippingHeldDoneAndEarlierLines) {
  StackEntry& root = push_root(START_FEN, 6);
  search_locally(root, 0);
  push_leaf(RETURN_POSITION_FULL_ROOT_01);
  EXPECT_EQ(ask_for_work(), nullptr) << "no root move is finished yet";

  Stack_Reset();
  StackEntry& r = push_root(START_FEN, 6);
  r.nBrothersFinished = 1;
  r.bMoveDoneList[0] = true;
  r.localData.fullRootDat.best_value[1] = 12;
  r.parameters.fullRootPar.alpha = 12;
  search_locally(r, 1);
  push_leaf(RETURN_POSITION_FULL_ROOT_02);
  hold(r, 2, 99);
  r.bMoveDoneList[3] = true;
  SearchCurrent->multipv = 1;
  SearchBest[0].pv[0] = static_cast<move_t>(r.nMoveList[4]);
  const Result* item = ask_for_work();
  SearchCurrent->multipv = 0;
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nMoveListIndex, 5);
  EXPECT_EQ(item->nCallType, CALL_TYPE_FULL_ROOT);
  EXPECT_EQ(item->nReturnPosition, RETURN_POSITION_FUNCTION_END);
  EXPECT_EQ(item->nDepth, 6);
  EXPECT_EQ(item->bInPV, 1);
  EXPECT_EQ(item->nPlayedNb, 1);
  EXPECT_EQ(item->nHistoryValue, 0);
  EXPECT_EQ(item->bExtended, 0);
  EXPECT_EQ(item->nAlpha, 12);
  EXPECT_EQ(item->nBeta, ValueInf);
  EXPECT_EQ(r.nAlphaList[5], 12);
  EXPECT_EQ(r.nBetaList[5], ValueInf);
  EXPECT_NE(r.sStartTimeList[5][0], '\0') << "the root master records when the move went out";
}

class WorkScanOrder : public WorkScan {
 protected:
  // Root (nothing to give) -> entry 1 searching its move 1 -> entry 2
  // searching its move `active2` -> leaf. Entry 1 reaches entry 2 by a null
  // move when `null_move` is set.
  void build(int active2, bool null_move = false) {
    StackEntry& root = push_root(START_FEN, 8);
    search_locally(root, 0);
    root_move_ = root.nMoveList[0];
    StackEntry& one = push_full_search(nullptr, RETURN_POSITION_FULL_ROOT_01, 7, NODE_CUT, -50, 50, 1);
    generate(one, 2);
    one.bMoveDoneList[0] = true;
    if (null_move) {
      one.nActualMoveIndex = 1;
      null_make(SearchCurrent->board, one.localData.fullSearchDat.undo);
      one_move_ = MOVE_NULL;
    } else {
      search_locally(one, 1);
      one_move_ = one.nMoveList[1];
    }
    StackEntry& two = push_full_search(nullptr,
                                       null_move ? RETURN_POSITION_FULL_SEARCH_02 : RETURN_POSITION_FULL_SEARCH_06, 6,
                                       NODE_ALL, -50, 50, 2);
    generate(two, active2 + 1);
    for (int k = 0; k < active2; ++k) two.bMoveDoneList[k] = true;
    search_locally(two, active2);
    push_leaf(RETURN_POSITION_FULL_SEARCH_06);
  }
  int root_move_ = MOVE_NONE;
  int one_move_ = MOVE_NONE;
};

TEST_F(WorkScanOrder, RootUpFirstTopDownReversedAndTheFirstStepPrefersLateMoves) {
  build(3);
  const uint64_t key = SearchCurrent->board.hash_key;
  const Result* item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nStackIndex, 1);
  ASSERT_EQ(item->nMoveAheadListCount, 1);
  EXPECT_EQ(item->MoveAheadList[0], root_move_);
  EXPECT_EQ(SearchCurrent->board.hash_key, key) << "entry 1's moves were generated at its position and the board is back";

  config().bReverseSearchStackDistributionOrder = 1;
  item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nStackIndex, 2) << "the deepest entry first";
  ASSERT_EQ(item->nMoveAheadListCount, 2);
  EXPECT_EQ(item->MoveAheadList[0], root_move_);
  EXPECT_EQ(item->MoveAheadList[1], one_move_);
  EXPECT_EQ(SearchCurrent->board.hash_key, key);

  Stack_Reset();
  config().bReverseSearchStackDistributionOrder = 0;
  config().bUseMultiStepStackSearch = 1;
  config().nMinimumBrothersFinishedFirstStep = 3;
  build(3);
  item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nStackIndex, 2) << "the first step wants three elder brothers";
  config().nMinimumBrothersFinishedFirstStep = 8;
  item = ask_for_work();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nStackIndex, 1) << "no entry has eight: the normal step";
}

TEST_F(WorkScanOrder, TheMoveAheadListStartsWithTheMastersOwnWorkItemAndCarriesNullMoves) {
  Result own{};
  own.nMoveAheadListCount = 3;
  own.MoveAheadList[0] = 0x0a1;
  own.MoveAheadList[1] = MOVE_NONE;
  own.MoveAheadList[2] = 0x0b2;
  manager_->bSearchingSubproblem = 1;
  manager_->pWorkAvailableResult = &own;
  build(1, true);
  config().bReverseSearchStackDistributionOrder = 1;
  const Result* item = ask_for_work();
  manager_->bSearchingSubproblem = 0;
  manager_->pWorkAvailableResult = nullptr;
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->nStackIndex, 2);
  ASSERT_EQ(item->nMoveAheadListCount, 4);
  EXPECT_EQ(item->MoveAheadList[0], 0x0a1);
  EXPECT_EQ(item->MoveAheadList[1], 0x0b2);
  EXPECT_EQ(item->MoveAheadList[2], root_move_);
  EXPECT_EQ(item->MoveAheadList[3], MOVE_NULL);
}

TEST_F(WorkScan, EveryRefusalAnswersNoWorkAndLeavesTheEntryAlone) {
  StackEntry& e = entry_searching(1);
  const auto refused = [&](const char* why) {
    EXPECT_EQ(ask_for_work(), nullptr) << why;
    EXPECT_FALSE(e.bWorkSentToSlave) << why;
  };
  EXPECT_EQ(ask_for_work(kPosition - 1), nullptr) << "the slave asks for an old position";
  EXPECT_FALSE(e.bWorkSentToSlave);
  SearchControl->bStoppingActive = true;
  refused("stopping");
  SearchControl->bStoppingActive = false;
  SearchControl->bStackStopgActive = true;
  refused("stack stopped");
  SearchControl->bStackStopgActive = false;
  SearchControl->bEnableWorkDistribution = false;
  refused("a work item is being sent");
  SearchControl->bEnableWorkDistribution = true;
  SearchControl->bSearchFinishing = true;
  refused("the search is wound up");
  SearchControl->bSearchFinishing = false;
  Stack.nUpdateSearchWindowRecursionLevel = 1;
  refused("a window update is being sent");
  Stack.nUpdateSearchWindowRecursionLevel = 0;
  manager_->nState = NODE_STATE_IDLE;
  refused("not searching");
  manager_->nState = NODE_STATE_SEARCHING;
  manager_->bRootMaster = 0;
  config().bOnlyDistributeWorkOfRootMaster = 1;
  refused("only the root master hands out work");
  manager_->bRootMaster = 1;
  e.bStopped = true;
  refused("stopped entry");
  e.bStopped = false;
  e.bAlive = false;
  refused("entry no longer alive");
  e.bAlive = true;
  e.bDistributionAllowed = false;
  refused("distribution not allowed");
  e.bDistributionAllowed = true;
  EXPECT_NE(ask_for_work(), nullptr);
}

TEST_F(WorkScan, AFailedSendGivesTheMoveBackToTheEntry) {
  StackEntry& e = entry_searching(1);
  // Rank 2 has no handler in this job: the work item cannot be created.
  EXPECT_TRUE(Stack_HasSendWorkToSlave(2, kPosition)) << "tried: no other answer follows";
  EXPECT_EQ(e.nMoveCount, 3);
  EXPECT_EQ(e.nSlaveRankList[2], -1);
  EXPECT_EQ(e.nWorkIdList[2], -1);
  EXPECT_FALSE(e.bMoveDoneList[2]);
  EXPECT_TRUE(SearchControl->bEnableWorkDistribution);
  EXPECT_NE(ask_for_work(), nullptr) << "the move can go out again";
}

}  // namespace
