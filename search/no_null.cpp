// The verification search after a null-move fail-high: the same position
// searched to a reduced depth without a null move of its own side.
#include "chess/eval.h"
#include "search/node.h"

namespace {

int nn_search_move(StackEntry& e) {
  FullNoNullPar& p = e.parameters.fullNoNullPar;
  FullNoNullDat& d = e.localData.fullNoNullDat;
  Stack_PushFullSearch(RETURN_POSITION_FULL_NO_NULL_01, p.board, -p.beta, -p.alpha, d.new_depth, p.height + 1,
                       d.child_pv, -p.node_type, d.cap_extended);
  return NodePushed;
}

int nn_loop(StackEntry& e) {
  FullNoNullPar& p = e.parameters.fullNoNullPar;
  FullNoNullDat& d = e.localData.fullNoNullDat;
  board_state_t& board = *p.board;
  if (!e.bAlive) return d.best_value;
  const int move = picker_next(d.picker, board);
  if (move == MOVE_NONE) {
    if (d.best_value == ValueNone) d.best_value = 0;
    return d.best_value;
  }
  d.move = move;
  d.new_depth = extended_depth(p.depth, move, board, false, false, p.height, p.extended, &d.cap_extended);
  move_make(board, move, d.undo);
  return nn_search_move(e);
}

int nn_start(StackEntry& e) {
  FullNoNullPar& p = e.parameters.fullNoNullPar;
  FullNoNullDat& d = e.localData.fullNoNullDat;
  if (!e.bAlive) {
    *p.pbest_move = MOVE_NONE;
    d.best_value = ValueNone;
    return ValueNone;
  }
  node_account(p.height);
  pv_reset(p.pv);
  check_info_compute(d.check, *p.board);
  d.in_check = d.check.checker_count > 0;
  *p.pbest_move = MOVE_NONE;
  d.best_value = ValueNone;
  // A full stack ends the node as the height limit does.
  if (Stack_IsFull()) return eval_position(*p.board, p.alpha, p.beta);
  picker_init(d.picker, *p.board, d.check, p.depth, p.height, p.trans_move);
  return nn_loop(e);
}

int nn_after_move(StackEntry& e) {
  FullNoNullPar& p = e.parameters.fullNoNullPar;
  FullNoNullDat& d = e.localData.fullNoNullDat;
  // A search of the move that was ended from outside is asked again with the present window.
  if (e.bAlive && Stack_ChildAbandoned(e)) return nn_search_move(e);
  move_unmake(*p.board, d.move, d.undo);
  if (!e.bAlive) return d.best_value;
  d.value = -e.nResult;
  if (node_take_child_value(d.value, d.move, d.best_value, p.alpha, p.beta, *p.pbest_move, p.pv, d.child_pv) ==
      ChildValue::CutOff)
    return d.best_value;
  return nn_loop(e);
}

}  // namespace

int full_no_null_step(StackEntry& e, int resume) {
  if (resume == RETURN_POSITION_FULL_NO_NULL_01) return nn_after_move(e);
  return nn_start(e);
}
