// The quiescence node: stand pat, captures (and quiet checks near the
// horizon), evasions in check, delta pruning in null-window nodes.
#include <algorithm>

#include "base/log.h"
#include "chess/draw.h"
#include "chess/eval.h"
#include "chess/legality.h"
#include "chess/piece.h"
#include "search/node.h"
#include "search/search_parameters.h"

namespace {

int qs_search_move(StackEntry& e) {
  FullQuiescencePar& p = e.parameters.fullQuiescencePar;
  Stack_PushQuiescence(RETURN_POSITION_FULL_QUIESCENCE_01, p.board, -p.beta, -p.alpha, p.depth - 1, p.height + 1,
                       e.localData.fullQuiescenceDat.child_pv);
  return NodePushed;
}

// Material a capture can add at most, for delta pruning.
int capture_gain(int move, const board_state_t& board) {
  if (move_is_en_passant(move)) return 100;
  return piece_value[board.squares[move_to(move)]] + (move_is_promotion(move) ? 900 : 0);
}

// Delta pruning drops a capture that can neither reach alpha nor raise the
// best value, whether or not it is safe and legal: such captures are passed
// over before the picker pays for those tests. What they would have left
// unchanged stays unchanged, so the search is the same.
void skip_pruned_captures(move_picker_t& picker, const board_state_t& board, int opt_value, int limit) {
  for (int move; (move = picker_peek_capture(picker)) != MOVE_NONE; picker_skip(picker)) {
    if (opt_value + capture_gain(move, board) > limit || move_gives_check(move, board) ||
        move_is_critical(move, board))
      return;
  }
}

int qs_loop(StackEntry& e) {
  FullQuiescencePar& p = e.parameters.fullQuiescencePar;
  FullQuiescenceDat& d = e.localData.fullQuiescenceDat;
  const search_parameters_t& sp = SearchParameters[0];
  board_state_t& board = *p.board;
  const bool delta = sp.bUseDelta && p.beta == d.old_alpha + 1 && !d.in_check;

  for (;;) {
    if (delta) skip_pruned_captures(d.picker, board, d.opt_value, std::min(p.alpha, d.best_value));
    const int move = picker_next(d.picker, board);
    if (move == MOVE_NONE) {
      if (!e.bAlive) return d.best_value;
      if (d.best_value == ValueNone) return node_mated(p.height);
      return d.best_value;
    }
    if (delta) {
      const int value = d.opt_value + capture_gain(move, board);
      if (value <= p.alpha && !move_gives_check(move, board) && !move_is_critical(move, board)) {
        if (value > d.best_value) {
          d.best_value = value;
          pv_reset(p.pv);
        }
        continue;
      }
    }
    d.move = move;
    move_make(board, move, d.undo);
    return qs_search_move(e);
  }
}

int qs_start(StackEntry& e) {
  FullQuiescencePar& p = e.parameters.fullQuiescencePar;
  FullQuiescenceDat& d = e.localData.fullQuiescenceDat;
  const search_parameters_t& sp = SearchParameters[0];
  board_state_t& board = *p.board;

  if (!e.bAlive) {
    d.best_value = ValueNone;
    d.best_move = MOVE_NONE;
    return ValueNone;
  }
  node_account(p.height);
  pv_reset(p.pv);
  if (position_is_draw_by_rule(board)) return 0;
  if (board.total_pieces <= 4 && draw_recognised(board)) return 0;
  int decided;
  if (node_mate_distance(board, p.height, &p.alpha, &p.beta, &decided)) return decided;

  check_info_compute(d.check, board);
  d.in_check = d.check.checker_count > 0;
  if (d.in_check) ++p.depth;

  if (HeightOffset + p.height >= StackHeightLimit) {
    QLOG(3, "WARNING full_search(... at CALL_TYPE_FULL_QUIESCENCE HeightMax %d + %d >= limit %d reached\n",
         HeightOffset, p.height, StackHeightLimit);
    return eval_position(board, p.alpha, p.beta);
  }
  // A full stack ends the node as the height limit does.
  if (Stack_IsFull()) return eval_position(board, p.alpha, p.beta);

  d.best_value = ValueNone;
  d.old_alpha = p.alpha;
  d.best_move = MOVE_NONE;
  d.opt_value = ValueInf;
  if (!d.in_check) {
    const int side = board.side_to_move;
    if (board.piece_count[side] == 1 && king_stuck_in_corner(board, side)) return 0;
    const int value = eval_position(board, p.alpha, p.beta);
    d.best_value = value;
    if (value > p.alpha) {
      p.alpha = value;
      if (value >= p.beta) return value;
    }
    if (sp.bUseDelta) d.opt_value = value + sp.nDeltaMargin;
  }
  picker_init_quiescence(d.picker, board, d.check, !d.in_check && p.depth >= sp.nQuiescenceCheckDepth);
  return qs_loop(e);
}

int qs_after_move(StackEntry& e) {
  FullQuiescencePar& p = e.parameters.fullQuiescencePar;
  FullQuiescenceDat& d = e.localData.fullQuiescenceDat;
  // A search of the move that was ended from outside is asked again with the present window.
  if (e.bAlive && Stack_ChildAbandoned(e)) return qs_search_move(e);
  move_unmake(*p.board, d.move, d.undo);
  if (!e.bAlive) return d.best_value;
  d.value = -e.nResult;
  if (node_take_child_value(d.value, d.move, d.best_value, p.alpha, p.beta, d.best_move, p.pv, d.child_pv) ==
      ChildValue::CutOff)
    return d.best_value;
  return qs_loop(e);
}

}  // namespace

int full_quiescence_step(StackEntry& e, int resume) {
  if (resume == RETURN_POSITION_FULL_QUIESCENCE_01) return qs_after_move(e);
  return qs_start(e);
}
