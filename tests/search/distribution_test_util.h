#pragma once
// Stacks built by hand the way a suspended search leaves them, inside a
// two-rank job seen from rank 0 of a one-process MPI world. The handler of
// the slave, rank 1, points at MPI rank 0: work items, stops and window
// updates sent to the slave arrive here and are watched.
#include <gtest/gtest.h>

#include <vector>

#include "../cluster/service_test_util.h"
#include "chess/attack.h"
#include "chess/history.h"
#include "chess/make.h"
#include "chess/movegen.h"
#include "chess/sort.h"
#include "search/node.h"
#include "search/search_parameters.h"
#include "search/stack.h"
#include "search/work_distribution.h"
#include "search_test_util.h"

class DistributionTest : public ServiceTest {
 public:
  // For callbacks of a running search, which are plain functions.
  template <typename Init>
  static void post_request_from_search(Init init) {
    post_request(init);
  }

 protected:
  static constexpr int kSlave = 1;
  static constexpr int kPosition = 5;

  void SetUp() override {
    search_test_setup();
    ServiceTest::SetUp();
    manager_->pProcessorHandlers[kSlave]->nProcessorId = 0;
    manager_->bRootMaster = 1;
    manager_->nState = NODE_STATE_SEARCHING;
    manager_->nSyncPositionId = kPosition;
    manager_->bSearchingSubproblem = 0;
    manager_->pWorkAvailableResult = nullptr;
    saved_control_ = *SearchControl;
    SearchControl->bStoppingActive = SearchControl->bStackStopgActive = false;
    SearchControl->bSearchFinishing = SearchControl->bSearchingSubproblem = false;
    SearchControl->bEnableWorkDistribution = true;
    SearchControl->pWorkItem = nullptr;
    SearchControl->nSlaveNodesReceived = 0;
    SearchParameters->bUpdateSearchWindows = true;
    HeightOffset = 0;
    SearchCurrent->multipv = 0;
    SearchCurrent->max_height = 0;
    SearchCurrent->max_depth = 0;
    Stack_Reset();
    history_reset();
    on_result_ = [this](const Result* r) {
      if (r->nType == RESULT_TYPE_MASTER_WORK_AVAILABLE) items_.push_back(*r);
    };
    on_request_ = [this](const Request* r) {
      if (r->nType == REQUEST_TYPE_MASTER_STOP) stops_.push_back(r->nWorkId);
      if (r->nType == REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW) updates_.push_back({r->nWorkId, r->nAlpha, r->nBeta});
    };
  }

  void TearDown() override {
    on_result_ = nullptr;
    on_request_ = nullptr;
    Stack_Reset();
    HeightOffset = 0;
    *SearchControl = saved_control_;
    ServiceTest::TearDown();
  }

  // Asks for work as a slave would and services until the answer is here.
  // Returns the work item, or null after "no work available".
  const Result* ask_for_work(int32_t position = kPosition) {
    const size_t before = items_.size();
    const size_t answers = results_.size();
    EXPECT_EQ(YBWCManager_CheckSendWorkToSlave(manager_, kSlave, position), 0);
    drain();
    EXPECT_EQ(results_.size(), answers + 1) << "exactly one answer";
    return items_.size() > before ? &items_.back() : nullptr;
  }

  // The root entry over the legal moves of fen, at iteration depth `depth`.
  StackEntry& push_root(const char* fen, int depth) {
    board_from_fen(SearchCurrent->board, fen);
    root_list_.count = 0;
    movegen_legal(root_list_, SearchCurrent->board);
    StackEntry& e = Stack_Push(CALL_TYPE_FULL_ROOT, RETURN_POSITION_FUNCTION_END);
    e.parameters.fullRootPar = {&root_list_, &SearchCurrent->board, -ValueInf, ValueInf, depth, 0, SEARCH_TYPE_NORMAL};
    FullRootDat& d = e.localData.fullRootDat;
    for (int& v : d.best_value) v = ValueNone;
    d.old_alpha = -ValueInf;
    d.bIterationConfirmed = true;
    for (int k = 0; k < root_list_.count; ++k) Stack_AppendMove(e, root_list_.moves[k], 0);
    e.bMoveListComplete = true;
    e.bDistributionAllowed = true;
    return e;
  }

  // A full-search entry at the board's present position, its move loop
  // started (picker ready, table empty); a child of the top entry unless it
  // is the first entry.
  StackEntry& push_full_search(const char* fen_if_bottom, int return_position, int depth, int node_type, int alpha,
                               int beta, int height) {
    if (Stack.nCount == 0) board_from_fen(SearchCurrent->board, fen_if_bottom);
    StackEntry& e = Stack_Push(CALL_TYPE_FULL_SEARCH, return_position);
    pv_.emplace_back(PvSize, MOVE_NONE);
    e.parameters.fullSearchPar = {&SearchCurrent->board, alpha, beta, depth, height, pv_.back().data(), node_type,
                                  false};
    FullSearchDat& d = e.localData.fullSearchDat;
    check_info_compute(d.check, SearchCurrent->board);
    d.in_check = d.check.checker_count > 0;
    picker_init(d.picker, SearchCurrent->board, d.check, depth, height, MOVE_NONE);
    d.best_value = ValueNone;
    d.best_move = MOVE_NONE;
    d.old_alpha = alpha;
    d.played_nb = 0;
    d.good_cap = true;
    d.history_value = HistoryProbMax;
    d.move = MOVE_NONE;
    e.bDistributionAllowed = true;
    return e;
  }

  // A child of the top entry that hands out nothing (the node the top entry's move leads to).
  StackEntry& push_leaf(int return_position, int depth = 1) {
    const FullSearchPar& parent = Stack_Top().parameters.fullSearchPar;
    const int height = Stack_Top().nCallType == CALL_TYPE_FULL_SEARCH ? parent.height + 1 : 1;
    StackEntry& e = push_full_search(nullptr, return_position, depth, NODE_ALL, -ValueInf, ValueInf, height);
    e.bDistributionAllowed = false;
    return e;
  }

  // A full-search entry at the bottom of the stack over fen, its moves 0 ..
  // active + extra generated, those before `active` done, `active` searched
  // locally below a leaf.
  StackEntry& entry_searching(int active, int depth = 6, int node_type = NODE_ALL,
                              int return_position = RETURN_POSITION_FULL_SEARCH_06, const char* fen = START_FEN,
                              int extra = 0) {
    Stack_Reset();
    StackEntry& e = push_full_search(fen, return_position, depth, node_type, -50, 50, 3);
    generate(e, active + 1 + extra);
    for (int k = 0; k < active; ++k) e.bMoveDoneList[k] = true;
    e.localData.fullSearchDat.played_nb = active;
    if (active > 0) e.localData.fullSearchDat.best_value = -20;
    search_locally(e, active);
    push_leaf(RETURN_POSITION_FULL_SEARCH_06);
    return Stack.entries[0];
  }

  // Appends the next `count` moves of the entry's own picker to its table.
  static void generate(StackEntry& e, int count) {
    FullSearchDat& d = e.localData.fullSearchDat;
    for (int k = 0; k < count; ++k) {
      const int move = picker_next(d.picker, SearchCurrent->board);
      ASSERT_NE(move, MOVE_NONE);
      Stack_AppendMove(e, move, d.picker.history_value);
    }
  }

  // The entry starts searching its move j locally: the move is taken and made
  // on the board, as the entry's loop does before it pushes the child.
  static void search_locally(StackEntry& e, int j) {
    e.nActualMoveIndex = j;
    e.bMoveDoneList[j] = true;
    const int move = e.nMoveList[j];
    if (e.nCallType == CALL_TYPE_FULL_ROOT) {
      e.localData.fullRootDat.i = j;
      e.localData.fullRootDat.move = move;
      move_make(SearchCurrent->board, move, e.localData.fullRootDat.undo);
    } else {
      e.localData.fullSearchDat.move = move;
      move_make(SearchCurrent->board, move, e.localData.fullSearchDat.undo);
    }
  }

  // A result of a slave for move k of entry `index`, as it arrives.
  static Request slave_result(int index, int k, int64_t work_id, int move, int value, int64_t nodes = 1000) {
    Request r{};
    r.nSource = kSlave;
    r.nType = REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT;
    r.nSyncPositionId = kPosition;
    r.nWorkId = work_id;
    r.nStackIndex = index;
    r.nMoveListIndex = k;
    r.nBestMove = move;
    r.nBestValue = value;
    r.nFlags = SEARCH_FLAGS_EXACT;
    r.nDepth = 3;
    r.nMaxDepth = 7;
    r.nPVLength = 1;
    r.PV[0] = static_cast<uint16_t>(move);
    r.PV[1] = MOVE_NONE;
    r.nNodes = nodes;
    r.nTransUsed = 123;
    return r;
  }

  // Marks move j as handed to the slave under `work_id` (as a sent work item does).
  static void hold(StackEntry& e, int j, int64_t work_id) {
    e.nSlaveRankList[j] = kSlave;
    e.nWorkIdList[j] = work_id;
    e.bWorkSentToSlave = true;
  }

  struct WindowUpdate {
    int64_t work_id;
    int32_t alpha;
    int32_t beta;
  };

  move_list_t root_list_{};
  std::vector<std::vector<move_t>> pv_;
  std::vector<Result> items_;
  std::vector<int64_t> stops_;
  std::vector<WindowUpdate> updates_;
  search_control_t saved_control_{};
};
