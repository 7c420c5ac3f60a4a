// The root node: walks the root list, searches each move with a full-search
// child (scout and re-search after the first), keeps the best line per
// multipv line and re-searches a move that falls outside the window.
#include "search/root_search.h"

#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "chess/killer.h"
#include "chess/legality.h"
#include "chess/piece.h"
#include "chess/trans.h"
#include "cluster/hash_table_buffer.h"
#include "search/node.h"
#include "search/root_move.h"
#include "search/search_parameters.h"
#include "search/report.h"

namespace {

const search_work_item_t* slave_item() {
  return SearchControl->bSearchingSubproblem ? SearchControl->pWorkItem : nullptr;
}

const PellamConfiguration* configuration() { return YBWCManager_GetInstance()->pConfiguration; }

// Undo records of the pv hints; the pv is at most PvSize - 1 moves.
undo_record_t HintUndo[PvSize];

// Stores the best line's moves as move hints, so the next iteration finds the
// line first even where its entries were replaced.
void store_pv_hints(board_state_t& board, const move_t* pv) {
  int count = 0;
  while (count < PvSize - 1 && pv[count] != MOVE_NONE && pv[count] != MOVE_NULL &&
         move_is_legal(board, pv[count])) {
    move_make(board, pv[count], HintUndo[count]);
    ++count;
  }
  for (int k = count - 1; k >= 0; --k) {
    move_unmake(board, pv[k], HintUndo[k]);
    trans_store(Trans, board.hash_key, pv[k], -127, TRANS_BOUND_NONE, -ValueInf);
    if (YBWCManager_BroadcastsTranspositionTable()) [[unlikely]]
      YBWCManager_BroadcastMoveHint(board.hash_key, pv[k], -127, TRANS_BOUND_NONE, -ValueInf);
  }
}

int root_loop(StackEntry& e);

int root_end(StackEntry& e, bool cut_off) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  const int multipv = SearchCurrent->multipv;
  if (!cut_off && e.bWorkSentToSlave && e.bAlive) {
    Stack_WaitForSlaves(e);
    // A move a slave gave back unsearched is searched here.
    const int free_move = Stack_FirstFreeMove(e);
    if (e.bAlive && free_move >= 0) {
      d.i = free_move;
      return root_loop(e);
    }
  }
  const int32_t error = Stack_StopEntry(e);
  if (error != 0) QLOG(1, "ERROR fullSearch(... failed at Stack_StopEntry(..., errorcode = %d\n", error);
  move_list_sort(*p.list);
  if (SearchBest[multipv].value != d.best_value[multipv])
    QLOG(3,
         "WARNING fullSearch(... SearchBest[SearchCurrent->multipv].value = %d != "
         "pStackEntry->localData.fullRootDat.best_value[SearchCurrent->multipv] = %d \n",
         SearchBest[multipv].value, d.best_value[multipv]);
  if (slave_item() == nullptr && SearchParameters->bUseTranspositionTable && d.old_alpha < d.best_value[multipv] &&
      d.best_value[multipv] < p.beta)
    store_pv_hints(*p.board, SearchBest[multipv].pv);
  return d.best_value[multipv];
}

int root_move_end(StackEntry& e) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  const int i = d.i;
  move_unmake(*p.board, d.move, d.undo);
  e.nNodesList[i] += SearchCurrent->node_nb - SearchControl->nSlaveNodesReceived;
  report_postmove(d.move, i, e.nSlaveRankList[i] > 0 ? e.nSlaveRankList[i] : 0, e.dStartTimeList[i], e.nNodesList[i],
                  e.nAlphaList[i], e.nBetaList[i], e.nValueList[i], e.sStartTimeList[i]);
  if (!e.bAlive) return root_end(e, false);
  const RootMoveOutcome outcome = root_move_result(e, i, d.move, d.value, d.child_pv);
  if (outcome == RootMoveOutcome::CutOff) return root_end(e, true);
  if (outcome == RootMoveOutcome::RaisedAlpha && slave_item() == nullptr && SearchParameters->bUpdateSearchWindows) {
    const int32_t error = Stack_UpdateSearchWindowForEntry(e, p.alpha, p.beta);
    if (error != 0)
      QLOG(1, "ERROR fullSearch(... failed at Stack_UpdateSearchWindowForEntry(..., errorcode = %d\n", error);
  }
  ++e.nBrothersFinished;
  d.i = e.nActualMoveIndex = i + 1;
  return root_loop(e);
}

// The first search of the move on the board: the full window while the line
// has no value yet (or outside the pv), else a scout.
int root_search_move(StackEntry& e) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  const bool in_pv = d.child_node_type == NODE_PV;
  if (p.search_type == SEARCH_TYPE_SHORT || d.best_value[SearchCurrent->multipv] == ValueNone || !in_pv)
    Stack_PushFullSearch(RETURN_POSITION_FULL_ROOT_01, p.board, -p.beta, -p.alpha, d.new_depth, p.height + 1,
                         d.child_pv, d.child_node_type, d.cap_extended);
  else
    Stack_PushFullSearch(RETURN_POSITION_FULL_ROOT_02, p.board, -p.alpha - 1, -p.alpha, d.new_depth, p.height + 1,
                         d.child_pv, NODE_CUT, d.cap_extended);
  return NodePushed;
}

int root_reduced_check(StackEntry& e) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  if (d.reduced && d.value >= p.beta) {
    ++d.new_depth;
    d.reduced = false;
    Stack_PushFullSearch(RETURN_POSITION_FULL_ROOT_04, p.board, -p.beta, -p.alpha, d.new_depth, p.height + 1,
                         d.child_pv, NODE_ALL, d.cap_extended);
    return NodePushed;
  }
  return root_move_end(e);
}

void root_window_changed() {
  RootProgress->bChanged = true;
  RootProgress->bEasy = false;
  RootProgress->bStopSearch = false;
  report_current_move();
}

int root_after_child(StackEntry& e, int resume) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  if (!e.bAlive) return root_move_end(e);
  // A search of the move that was ended from outside is asked again with the present window.
  if (Stack_ChildAbandoned(e)) return root_search_move(e);
  d.value = -e.nResult;
  e.nValueList[d.i] = d.value;
  switch (resume) {
    case RETURN_POSITION_FULL_ROOT_01:
      if (d.value <= p.alpha && d.allow_fail_low) {
        root_window_changed();
        p.alpha = d.old_alpha = -ValueInf;
        Stack_PushFullSearch(RETURN_POSITION_FULL_ROOT_01_1, p.board, -p.beta, ValueInf, d.new_depth, p.height + 1,
                             d.child_pv, d.child_node_type, d.cap_extended);
        return NodePushed;
      }
      if (d.value >= p.beta && d.allow_fail_high) {
        root_window_changed();
        Stack_PushFullSearch(RETURN_POSITION_FULL_ROOT_01_2, p.board, -ValueInf, -p.alpha, d.new_depth, p.height + 1,
                             d.child_pv, d.child_node_type, d.cap_extended);
        return NodePushed;
      }
      return root_reduced_check(e);
    case RETURN_POSITION_FULL_ROOT_02: {
      if (d.value <= p.alpha) return root_reduced_check(e);
      root_window_changed();
      const search_work_item_t* item = slave_item();
      const int low = item != nullptr && item->nCallType == CALL_TYPE_FULL_SEARCH ? -p.beta : -ValueInf;
      Stack_PushFullSearch(RETURN_POSITION_FULL_ROOT_03, p.board, low, -p.alpha, d.new_depth, p.height + 1,
                           d.child_pv, NODE_PV, d.cap_extended);
      return NodePushed;
    }
    case RETURN_POSITION_FULL_ROOT_04: return root_move_end(e);
    default: return root_reduced_check(e);
  }
}

int root_loop(StackEntry& e) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  board_state_t& board = *p.board;
  const move_list_t& list = *p.list;
  const search_work_item_t* item = slave_item();
  const int multipv = SearchCurrent->multipv;

  for (;;) {
    const int i = d.i;
    e.nActualMoveIndex = i;
    if (!e.bAlive || i >= list.count) return root_end(e, false);
    const int move = list.moves[i];
    d.move = move;
    RootProgress->nDepth = p.depth;
    RootProgress->nMove = move;
    RootProgress->nMovePos = i;
    RootProgress->nMoveCount = list.count;

    bool skip = false;
    d.found = false;
    if (item == nullptr) {
      for (int line = 0; line < multipv && !skip; ++line) {
        if (SearchBest[line].pv[0] == move) {
          d.j = line;
          d.found = true;
          skip = true;
        }
      }
    } else {
      skip = move != item->nMove;
    }
    if (skip) {
      e.bMoveDoneList[i] = true;
      d.i = i + 1;
      continue;
    }

    update_search_time();
    if (SearchCurrent->time >= 1.0) report_current_move();
    if (e.nSlaveRankList[i] > 0 || e.bMoveDoneList[i]) {
      ++e.nBrothersFinished;
      d.i = i + 1;
      continue;
    }

    e.bMoveDoneList[i] = true;
    e.nNodesList[i] = -SearchCurrent->node_nb;
    e.dStartTimeList[i] = SearchCurrent->time;
    wall_clock_text(e.sStartTimeList[i], sizeof(e.sStartTimeList[i]));
    e.nAlphaList[i] = p.alpha;
    e.nBetaList[i] = p.beta;
    SearchControl->nSlaveNodesReceived = 0;

    const bool in_pv = item == nullptr ? true : item->bInPV;
    const bool extended = item == nullptr ? false : item->bExtended;
    const bool in_check = side_is_in_check(board);
    const bool single_reply = in_check && list.count == 1;
    d.child_node_type = in_pv ? NODE_PV : NODE_CUT;
    d.new_depth = extended_depth(p.depth, move, board, single_reply, in_pv, p.height, extended, &d.cap_extended);
    d.reduced = false;
    if (item != nullptr && item->nCallType == CALL_TYPE_FULL_SEARCH) {
      // The reduction rule of the master's node, with its counters.
      const search_parameters_t& sp = SearchParameters[0];
      if (sp.bUseHistoryReduction && !in_check && d.new_depth < p.depth && item->nPlayedNb >= 3 && p.depth >= 3 &&
          !(piece_is_pawn(board.squares[move_from(move)]) && move_creates_passer(move, board))) {
        bool good_cap = item->bGoodCap;
        if (good_cap && !move_is_noisy(move, board)) {
          good_cap = false;
          SearchControl->pWorkItem->bGoodCap = false;
        }
        if (!good_cap && (!in_pv || item->nPlayedNb >= 6)) {
          --d.new_depth;
          d.reduced = true;
        }
      }
    }

    move_make(board, move, d.undo);
    return root_search_move(e);
  }
}

int root_start(StackEntry& e) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  const search_work_item_t* item = slave_item();
  const int multipv = SearchCurrent->multipv;
  move_list_t& list = *p.list;

  --SearchInfo->check_nb;
  --SearchInfo->check_nb_mpi_poll;
  if (item == nullptr) {
    ++SearchCurrent->node_nb;
    ++SearchCurrent->node_local_nb;
    ++YBWCManager_GetInstance()->nTotalNodes;
  }
  if (multipv == 0)
    for (int k = 0; k < list.count; ++k) list.scores[k] = static_cast<int16_t>(ValueNone);

  d.old_alpha = p.alpha;
  if (item == nullptr)
    d.best_value[multipv] = ValueNone;
  else
    d.best_value[multipv] =
        item->nCallType == CALL_TYPE_FULL_SEARCH || !item->bNoMovePlayedYet ? p.alpha : ValueNone;
  // A slave searching a move of an interior node re-searches nothing; a slave
  // with a root move re-searches a fail high, and a fail low too while no
  // root move has been played.
  if (item == nullptr || (item->nCallType == CALL_TYPE_FULL_ROOT && item->bNoMovePlayedYet)) {
    d.allow_fail_low = d.allow_fail_high = true;
  } else {
    d.allow_fail_low = false;
    d.allow_fail_high = item->nCallType != CALL_TYPE_FULL_SEARCH;
  }
  d.opt_value = ValueInf;
  e.bMoveLoopDone = false;
  e.nActualMoveIndex = 0;
  e.bAlive = true;
  e.nBrothersFinished = 0;
  e.nMoveCount = 0;
  const PellamConfiguration* config = configuration();
  e.bDistributionAllowed = item == nullptr && !(config != nullptr && config->bSuppressDistributionOfRootMoves) &&
                           p.search_type == SEARCH_TYPE_NORMAL;
  for (int k = 0; k < list.count && k < MoveTableSize; ++k) Stack_AppendMove(e, list.moves[k], 0);
  e.bMoveListComplete = true;
  d.bIterationConfirmed = item != nullptr || multipv >= 1;
  d.i = 0;
  return root_loop(e);
}

}  // namespace

RootMoveOutcome root_move_result(StackEntry& e, int i, int move, int value, const move_t* child_pv) {
  FullRootPar& p = e.parameters.fullRootPar;
  FullRootDat& d = e.localData.fullRootDat;
  const bool slave = slave_item() != nullptr;
  const int multipv = SearchCurrent->multipv;
  int& best_value = d.best_value[multipv];

  if (!slave && multipv == 0 && i == 0) {
    d.bIterationConfirmed = true;
    SearchControl->bIterationNotConfirmed = false;
  }
  int score = value;
  if (value <= p.alpha)
    score = slave ? value : d.old_alpha;
  else if (value >= p.beta)
    score = slave ? value : p.beta;
  p.list->scores[i] = static_cast<int16_t>(score);

  if ((value > best_value && (best_value == ValueNone || value > p.alpha)) || slave) {
    search_best_t& best = SearchBest[multipv];
    best.move = move;
    best.value = value;
    best.flags = value <= p.alpha ? SEARCH_FLAGS_UPPER : value >= p.beta ? SEARCH_FLAGS_LOWER : SEARCH_FLAGS_EXACT;
    best.depth = p.depth;
    pv_build(best.pv, child_pv, move);
    if (SearchBestLast[multipv].value <= value) {
      d.bIterationConfirmed = true;
      SearchControl->bIterationNotConfirmed = false;
    }
    if (d.bIterationConfirmed)
      report_best_line();
    else
      SearchControl->bIterationNotConfirmed = true;
  }
  if (value > best_value || slave) {
    best_value = value;
    if (value > p.alpha) {
      if (p.search_type == SEARCH_TYPE_NORMAL) p.alpha = value;
      return value >= p.beta ? RootMoveOutcome::CutOff : RootMoveOutcome::RaisedAlpha;
    }
  }
  return RootMoveOutcome::Kept;
}

int full_root_step(StackEntry& e, int resume) {
  if (resume == RETURN_POSITION_UNDEFINED) return root_start(e);
  return root_after_child(e, resume);
}

int root_search_run(move_list_t& list, board_state_t& board, int depth, int search_type) {
  search_parameters_t& sp = SearchParameters[0];
  const PellamConfiguration* config = configuration();
  sp.bUseHistoryPruning = config != nullptr && config->bUseHistoryPruning != 0;
  sp.bUseIID = config != nullptr && config->bUseIID != 0;
  sp.bUseTranspositionTable = search_use_transposition_table();

  const int multipv = SearchCurrent->multipv;
  int alpha;
  int beta;
  if (const search_work_item_t* item = slave_item()) {
    alpha = item->nAlpha;
    beta = item->nBeta;
    HeightOffset = item->nHeight;
    const int pairs = item->nKillerCount / 2;
    for (int k = 0; k < pairs && k < PvSize; ++k) killer_set(k + 1, item->killers[2 * k], item->killers[2 * k + 1]);
  } else {
    alpha = -ValueInf;
    HeightOffset = 0;
    const bool narrow = search_process_count() > 1 && config != nullptr && config->nMinimumBrothersFinishedRoot <= 0 &&
                        SearchLimits->nMultiPV == 0;
    beta = narrow ? SearchBest[multipv].value + 30 : ValueInf;
  }
  SearchBestLast[multipv] = SearchBest[multipv];
  SearchControl->bIterationNotConfirmed = false;

  Stack_Reset();
  FullRootPar& par = Stack_Push(CALL_TYPE_FULL_ROOT, RETURN_POSITION_FUNCTION_END).parameters.fullRootPar;
  par = {&list, &board, alpha, beta, depth, 0, search_type};
  const int value = Stack_Run();
  Stack_Reset();
  return value;
}
