// The interior node: draws, bitbases, mate distance, table cut-offs, null move
// with verification, razoring, internal iterative deepening, and the move loop
// with history skipping, futility pruning and late-move reduction.
#include <algorithm>

#include "base/log.h"
#include "chess/draw.h"
#include "chess/egbb.h"
#include "chess/eval.h"
#include "chess/history.h"
#include "chess/legality.h"
#include "chess/make.h"
#include "chess/piece.h"
#include "chess/trans.h"
#include "cluster/hash_table_buffer.h"
#include "search/node.h"
#include "search/search_parameters.h"

namespace {

int fs_loop_start(StackEntry& e);
int fs_loop(StackEntry& e);
int fs_iid(StackEntry& e);

bool pawn_makes_passer(int move, const board_state_t& board) {
  return piece_is_pawn(board.squares[move_from(move)]) && move_creates_passer(move, board);
}

int fs_end(StackEntry& e) {
  const FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  const search_parameters_t& sp = SearchParameters[0];
  const board_state_t& board = *p.board;

  const int32_t error = Stack_StopEntry(e);
  if (error != 0) QLOG(1, "ERROR fullSearch(... failed at Stack_StopEntry(..., errorcode = %d\n", error);

  if (e.bAlive || e.bCutOffBySlave) {
    if (d.best_move != MOVE_NONE) {
      if (!sp.bForceReproducibleEvaluation) good_move(d.best_move, board, p.depth, p.height);
      if ((e.bCutOff || e.bCutOffBySlave) && !move_is_noisy(d.best_move, board) &&
          !sp.bForceReproducibleEvaluation) {
        for (int k = 0; k < d.played_nb - 1; ++k) history_bad(d.played[k], board);
        history_good(d.best_move, board);
      }
    }
    if (sp.bUseTranspositionTable && p.depth >= 1) {
      const int flags = (d.best_value > d.old_alpha ? TRANS_BOUND_LOWER : 0) |
                        (d.best_value < p.beta ? TRANS_BOUND_UPPER : 0);
      const int value = value_to_table(d.best_value, HeightOffset + p.height);
      trans_store(Trans, board.hash_key, d.best_move, p.depth, flags, value);
      if (YBWCManager_BroadcastsTranspositionTable()) [[unlikely]]
        YBWCManager_BroadcastStoredEntry(board.hash_key, d.best_move, p.depth, flags, value);
    }
  }
  return d.best_value;
}

int fs_loop_end(StackEntry& e) {
  const FullSearchPar& p = e.parameters.fullSearchPar;
  const FullSearchDat& d = e.localData.fullSearchDat;
  if (e.bWorkSentToSlave && e.bAlive) {
    Stack_WaitForSlaves(e);
    // A move a slave gave back unsearched is searched here.
    const int free_move = Stack_FirstFreeMove(e);
    if (e.bAlive && free_move >= 0) {
      e.nActualMoveIndex = free_move;
      e.bMoveLoopDone = false;
      return fs_loop(e);
    }
  }
  if (e.bAlive && d.best_value == ValueNone) return d.in_check ? node_mated(p.height) : 0;
  return fs_end(e);
}

int fs_iid(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  if (SearchParameters->bUseIID && p.depth >= 3 && p.node_type == NODE_PV && d.trans_move == MOVE_NONE) {
    d.new_depth = std::min(p.depth / 2, p.depth - 2);
    Stack_PushFullSearch(RETURN_POSITION_FULL_SEARCH_04, p.board, p.alpha, p.beta, d.new_depth, p.height,
                         d.child_pv, NODE_PV, false);
    return NodePushed;
  }
  return fs_loop_start(e);
}

// Depth 0: quiescence at the same height, its value passed up unchanged.
int fs_horizon(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  search_parameters_t& sp = SearchParameters[0];
  sp.nQuiescenceCheckDepth = p.node_type == NODE_PV ? -sp.nQuiescenceCheckPlies : 1 - sp.nQuiescenceCheckPlies;
  Stack_PushQuiescence(RETURN_POSITION_FULL_SEARCH_01, p.board, p.alpha, p.beta, 0, p.height, p.pv);
  return NodePushed;
}

int fs_start(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  search_parameters_t& sp = SearchParameters[0];
  board_state_t& board = *p.board;

  if (!e.bAlive) {
    d.best_value = ValueNone;
    d.best_move = MOVE_NONE;
    d.played_nb = 0;
    return fs_end(e);
  }
  if (p.depth <= 0) {
    // A full stack ends the node as the height limit does.
    if (Stack_IsFull()) return eval_position(board, p.alpha, p.beta);
    return fs_horizon(e);
  }

  node_account(p.height);
  pv_reset(p.pv);
  if (position_is_draw_by_rule(board)) return 0;

  const int pieces = board.total_pieces;
  if (egbb_loaded && pieces <= 5) {
    d.probe_depth = (2 * SearchCurrent->depth) / 3;
    const bool skip = pieces == 5 && p.height > d.probe_depth;
    if (!skip && (p.height >= d.probe_depth || board.capture_square != 0 || piece_is_pawn(board.moved_piece))) {
      int probe_value;
      if (egbb_probe(board, &probe_value)) {
        d.probe_score = value_from_table(probe_value, HeightOffset + p.height);
        return d.probe_score;
      }
    }
  }
  if (pieces <= 4 && draw_recognised(board)) return 0;

  int decided;
  if (node_mate_distance(board, p.height, &p.alpha, &p.beta, &decided)) return decided;

  d.trans_move = MOVE_NONE;
  if (sp.bUseTranspositionTable) {
    entry_t* found;
    if (trans_probe(Trans, board.hash_key, &found, &d.trans_move, &d.trans_depth, &d.trans_flags,
                    &d.trans_value) &&
        p.node_type != NODE_PV) {
      int depth = d.trans_depth;
      int flags = d.trans_flags;
      // A proven mate bound holds at any depth.
      if (depth < p.depth) {
        if (d.trans_value < -ValueEvalInf && (flags & TRANS_BOUND_UPPER) != 0) {
          flags = TRANS_BOUND_UPPER;
          depth = p.depth;
        } else if (d.trans_value > ValueEvalInf && (flags & TRANS_BOUND_LOWER) != 0) {
          flags = TRANS_BOUND_LOWER;
          depth = p.depth;
        }
      }
      if (depth >= p.depth) {
        const int value = value_from_table(d.trans_value, HeightOffset + p.height);
        if (flags == TRANS_BOUND_EXACT || ((flags & TRANS_BOUND_LOWER) != 0 && value >= p.beta) ||
            ((flags & TRANS_BOUND_UPPER) != 0 && value <= p.alpha))
          return value;
      }
    }
  }

  // The children this node searches first, the null move's and the table
  // move's, probe the table in turn: their clusters are fetched from here on.
  if (sp.bUseNullMove && p.node_type != NODE_PV && p.depth - sp.nNullMoveReduction - 1 > 0)
    trans_prefetch(Trans, null_key_after(board));
  if (p.depth >= 2 && d.trans_move != MOVE_NONE) trans_prefetch(Trans, move_key_after(board, d.trans_move));
  if (HeightOffset + p.height >= StackHeightLimit) {
    QLOG(3, "WARNING full_search(... at CALL_TYPE_FULL_SEARCH HeightMax %d + %d >= limit %d reached\n", HeightOffset,
         p.height, StackHeightLimit);
    return eval_position(board, p.alpha, p.beta);
  }
  if (Stack_IsFull()) return eval_position(board, p.alpha, p.beta);

  d.best_value = ValueNone;
  d.old_alpha = p.alpha;
  d.best_move = MOVE_NONE;
  d.played_nb = 0;
  check_info_compute(d.check, board);
  d.in_check = d.check.checker_count > 0;

  if (sp.bUseNullMove && p.depth >= 2) {
    if (p.node_type != NODE_PV && !d.in_check && !is_mate_score(p.beta) &&
        board.piece_count[board.side_to_move] >= 2) {
      const bool eval_refutes = sp.bNullMoveNeedsEval && p.depth > sp.nNullMoveReduction + 1 &&
                                eval_position(board, p.alpha, p.beta) < p.beta;
      if (!eval_refutes) {
        d.new_depth = p.depth - sp.nNullMoveReduction - 1;
        null_make(board, d.undo);  // its child's cluster was fetched after the probe
        Stack_PushFullSearch(RETURN_POSITION_FULL_SEARCH_02, p.board, -p.beta, -p.beta + 1, d.new_depth,
                             p.height + 1, d.child_pv, -p.node_type, false);
        return NodePushed;
      }
    }
  } else if ((sp.bUseNullMove && p.depth == 1) || (!sp.bUseNullMove && p.depth <= 3)) {
    if (p.node_type != NODE_PV && eval_position(board, p.alpha, p.beta) < p.beta - 300) {
      sp.nQuiescenceCheckDepth = 1 - sp.nQuiescenceCheckPlies;
      Stack_PushQuiescence(RETURN_POSITION_FULL_SEARCH_03_1, p.board, p.alpha, p.beta, 0, p.height, p.pv);
      return NodePushed;
    }
  }
  return fs_iid(e);
}

int fs_after_null(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  const search_parameters_t& sp = SearchParameters[0];
  board_state_t& board = *p.board;

  null_unmake(board, d.undo);
  if (!e.bAlive) return fs_loop_end(e);
  // An abandoned null-move search proves nothing: the node is searched normally.
  if (Stack_ChildAbandoned(e)) return fs_iid(e);
  d.value = -e.nResult;
  if (sp.bUseVerification && p.depth > sp.nVerificationReduction) {
    if (d.value < p.beta) return fs_iid(e);
    if (!(sp.bVerificationEndgameOnly && board.piece_count[board.side_to_move] > 3)) {
      d.new_depth = p.depth - sp.nVerificationReduction;
      d.move = MOVE_NONE;
      FullNoNullPar& child = Stack_Push(CALL_TYPE_FULL_NO_NULL, RETURN_POSITION_FULL_SEARCH_03).parameters.fullNoNullPar;
      child = {p.board, p.alpha, p.beta, d.new_depth, p.height, d.child_pv, NODE_CUT, d.trans_move, &d.move,
               p.extended};
      return NodePushed;
    }
  } else if (d.value < p.beta) {
    return fs_iid(e);
  }
  d.best_move = MOVE_NONE;
  d.best_value = std::min(d.value, ValueEvalInf);
  e.bCutOff = true;
  return fs_end(e);
}

int fs_after_verification(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  if (!e.bAlive) return fs_loop_end(e);
  if (Stack_ChildAbandoned(e)) return fs_iid(e);
  d.value = e.nResult;
  if (d.value < p.beta) return fs_iid(e);
  if (d.move != MOVE_NONE) d.played[d.played_nb++] = static_cast<move_t>(d.move);
  d.best_move = d.move;
  d.best_value = d.value;
  pv_assign(p.pv, d.child_pv);
  e.bCutOff = true;
  return fs_end(e);
}

int fs_after_iid(StackEntry& e, int resume) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  if (!e.bAlive) return fs_loop_end(e);
  // The iterative deepening only orders the moves: without its result the loop starts as it is.
  if (Stack_ChildAbandoned(e)) return fs_loop_start(e);
  d.value = e.nResult;
  if (resume == RETURN_POSITION_FULL_SEARCH_04 && d.value <= p.alpha) {
    Stack_PushFullSearch(RETURN_POSITION_FULL_SEARCH_05, p.board, -ValueInf, p.beta, d.new_depth, p.height,
                         d.child_pv, p.node_type, false);
    return NodePushed;
  }
  d.trans_move = d.child_pv[0];
  return fs_loop_start(e);
}

int fs_loop_start(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  picker_init(d.picker, *p.board, d.check, p.depth, p.height, d.trans_move);
  d.single_reply = d.in_check && d.picker.moves.count == 1;
  d.history_value = HistoryProbMax;
  d.opt_value = ValueInf;
  d.good_cap = true;
  e.bMoveLoopDone = false;
  e.nActualMoveIndex = 0;
  e.nMoveCount = 0;
  e.bMoveListComplete = false;
  e.bAlive = true;
  e.bDistributionAllowed = !SearchParameters->bSuppressDistributionOfFullSearchMoves;
  return fs_loop(e);
}

// The first search of the move on the board: a scout in a PV node that has a
// value already, else the node's window.
int fs_search_move(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  if (p.node_type == NODE_PV && d.best_value != ValueNone)
    Stack_PushFullSearch(RETURN_POSITION_FULL_SEARCH_07, p.board, -p.alpha - 1, -p.alpha, d.new_depth, p.height + 1,
                         d.child_pv, NODE_CUT, d.cap_extended);
  else
    Stack_PushFullSearch(RETURN_POSITION_FULL_SEARCH_06, p.board, -p.beta, -p.alpha, d.new_depth, p.height + 1,
                         d.child_pv, -p.node_type, d.cap_extended);
  return NodePushed;
}

// The move at nActualMoveIndex by the table protocol: from the table, or from
// the picker (appended). Skips moves held by slaves or done. -1 at the end.
int fs_take_move(StackEntry& e) {
  FullSearchDat& d = e.localData.fullSearchDat;
  for (;;) {
    const int j = e.nActualMoveIndex;
    if (j < e.nMoveCount) {
      if (e.nSlaveRankList[j] > 0 || e.bMoveDoneList[j]) {
        ++e.nActualMoveIndex;
        continue;
      }
      e.bMoveDoneList[j] = true;
      return j;
    }
    if (!e.bMoveListComplete && e.nMoveCount < MoveTableSize) {
      const int move = picker_next(d.picker, *e.parameters.fullSearchPar.board);
      if (move != MOVE_NONE) {
        Stack_AppendMove(e, move, d.picker.history_value);
        continue;
      }
    }
    e.bMoveListComplete = true;
    e.bMoveLoopDone = true;
    return -1;
  }
}

int fs_loop(StackEntry& e) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  const search_parameters_t& sp = SearchParameters[0];
  board_state_t& board = *p.board;

  while (e.bAlive && !e.bMoveLoopDone) {
    const int j = fs_take_move(e);
    if (j < 0) break;
    const int move = e.nMoveList[j];
    d.move = move;
    d.new_depth = extended_depth(p.depth, move, board, d.single_reply, p.node_type == NODE_PV, p.height, p.extended,
                                 &d.cap_extended);
    d.value = e.nHistoryValueList[j];
    if (search_process_count() > 1 && d.value < HistoryProbMax) d.value = history_prob(move, board);
    d.history_value = d.value;  // d.value is reused below; the work scan reads this one

    const bool reducible = !d.in_check && d.new_depth < p.depth;
    if (sp.bUseHistoryPruning && reducible && p.depth <= 6 && p.node_type != NODE_PV &&
        d.value < sp.nHistoryThreshold / (p.depth / 3 + 1) && d.played_nb >= p.depth + 1 &&
        !pawn_makes_passer(move, board)) {
      ++e.nActualMoveIndex;
      continue;
    }
    if (sp.bUseFutility && reducible && p.node_type != NODE_PV && p.depth <= 3 && !move_is_noisy(move, board) &&
        !pawn_makes_passer(move, board)) {
      if (d.opt_value == ValueInf) {
        const int margin = p.depth == 1 ? sp.nFutilityMargin : sp.nExtendedFutilityMargin - 100 + 50 * p.depth;
        d.opt_value = eval_position(board, p.alpha, p.beta) + margin;
      }
      d.value = d.opt_value;
      if (d.value <= p.alpha) {
        if (d.value > d.best_value) {
          d.best_value = d.value;
          pv_reset(p.pv);
        }
        ++e.nActualMoveIndex;
        continue;
      }
    }
    d.reduced = false;
    if (sp.bUseHistoryReduction && reducible && d.played_nb >= 3 && p.depth >= 3 && !pawn_makes_passer(move, board)) {
      if (d.good_cap && !move_is_noisy(move, board)) d.good_cap = false;
      if (!d.good_cap && (p.node_type != NODE_PV || d.played_nb >= 6)) {
        --d.new_depth;
        d.reduced = true;
      }
    }
    // The next candidate's child will probe the table too: fetching its
    // cluster now lets that load overlap this move's whole subtree.
    if (p.depth >= 2) {
      const int next = j + 1 < e.nMoveCount ? e.nMoveList[j + 1] : picker_peek(d.picker);
      if (next != MOVE_NONE) trans_prefetch(Trans, move_key_after(board, next));
    }
    move_make(board, move, d.undo);
    // The child probes the table first thing unless it is a horizon node.
    if (d.new_depth > 0) trans_prefetch(Trans, board.hash_key);
    return fs_search_move(e);
  }
  return fs_loop_end(e);
}

// Steps 8 to 11 of a move whose child has returned with d.value.
int fs_after_move(StackEntry& e, int resume) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  board_state_t& board = *p.board;

  // A search of the move that was ended from outside is asked again with the present window.
  if (e.bAlive && Stack_ChildAbandoned(e)) return fs_search_move(e);
  if (e.bAlive) {
    if (resume == RETURN_POSITION_FULL_SEARCH_07) {
      d.value = -e.nResult;
      if (d.value > p.alpha) {
        Stack_PushFullSearch(RETURN_POSITION_FULL_SEARCH_08, p.board, -p.beta, -p.alpha, d.new_depth, p.height + 1,
                             d.child_pv, NODE_PV, d.cap_extended);
        return NodePushed;
      }
    } else {
      d.value = -e.nResult;
    }
    if (resume != RETURN_POSITION_FULL_SEARCH_09 && d.reduced && d.value >= p.beta) {
      ++d.new_depth;
      d.reduced = false;
      Stack_PushFullSearch(RETURN_POSITION_FULL_SEARCH_09, p.board, -p.beta, -p.alpha, d.new_depth, p.height + 1,
                           d.child_pv, -p.node_type, d.cap_extended);
      return NodePushed;
    }
  }
  move_unmake(board, d.move, d.undo);
  if (!e.bAlive) return fs_loop_end(e);

  if (d.played_nb < MoveTableSize) d.played[d.played_nb++] = static_cast<move_t>(d.move);
  const ChildValue taken =
      node_take_child_value(d.value, d.move, d.best_value, p.alpha, p.beta, d.best_move, p.pv, d.child_pv);
  if (taken == ChildValue::CutOff) {
    e.bCutOff = true;
    return fs_end(e);
  }
  if (taken == ChildValue::RaisedAlpha && SearchParameters->bUpdateSearchWindows) {
    const int32_t error = Stack_UpdateSearchWindowForEntry(e, p.alpha, p.beta);
    if (error != 0)
      QLOG(1, "ERROR fullSearch(... failed at Stack_UpdateSearchWindowForEntry(..., errorcode = %d\n", error);
  }
  if (p.node_type == NODE_CUT) p.node_type = NODE_ALL;
  ++e.nActualMoveIndex;
  return fs_loop(e);
}

}  // namespace

int full_search_step(StackEntry& e, int resume) {
  switch (resume) {
    case RETURN_POSITION_FULL_SEARCH_01:
      if (e.bAlive && Stack_ChildAbandoned(e)) return fs_horizon(e);
      return e.nResult;
    case RETURN_POSITION_FULL_SEARCH_02: return fs_after_null(e);
    case RETURN_POSITION_FULL_SEARCH_03: return fs_after_verification(e);
    case RETURN_POSITION_FULL_SEARCH_03_1:
      if (!e.bAlive) return fs_loop_end(e);
      if (Stack_ChildAbandoned(e)) return fs_iid(e);
      if (e.nResult < e.parameters.fullSearchPar.beta) return e.nResult;
      return fs_iid(e);
    case RETURN_POSITION_FULL_SEARCH_04:
    case RETURN_POSITION_FULL_SEARCH_05: return fs_after_iid(e, resume);
    case RETURN_POSITION_FULL_SEARCH_06:
    case RETURN_POSITION_FULL_SEARCH_07:
    case RETURN_POSITION_FULL_SEARCH_08:
    case RETURN_POSITION_FULL_SEARCH_09: return fs_after_move(e, resume);
    default: return fs_start(e);
  }
}
