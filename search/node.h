#pragma once
// What the node searches share: the step functions the run loop dispatches,
// node accounting, principal-variation helpers, mate values relative to the
// root master's root, and the extension rule.
#include <climits>

#include "chess/value.h"
#include "search/stack.h"

// Returned by a step function that pushed a child and waits for it.
constexpr int NodePushed = INT_MIN;

// Each runs the node of the top entry from its start (resume 0) or from the
// return position of the child that has just popped, until it pushes a child
// (NodePushed) or finishes (its value).
int full_root_step(StackEntry& entry, int resume);
int full_search_step(StackEntry& entry, int resume);
int full_no_null_step(StackEntry& entry, int resume);
int full_quiescence_step(StackEntry& entry, int resume);

// Mated at height h of this process's stack, as seen from the master's root.
inline int node_mated(int height) { return HeightOffset + height - ValueMate; }

inline void pv_reset(move_t* pv) { pv[0] = MOVE_NONE; }
inline void pv_assign(move_t* pv, const move_t* child_pv) {
  int i = 0;
  while (i < PvSize - 1 && child_pv[i] != MOVE_NONE) {
    pv[i] = child_pv[i];
    ++i;
  }
  pv[i] = MOVE_NONE;
}
// The move followed by child_pv; bounded to PvSize - 1 moves.
inline void pv_build(move_t* pv, const move_t* child_pv, int move) {
  pv[0] = static_cast<move_t>(move);
  int i = 0;
  while (i < PvSize - 2 && child_pv[i] != MOVE_NONE) {
    pv[i + 1] = child_pv[i];
    ++i;
  }
  pv[i + 1] = MOVE_NONE;
}

// How a child's value changed its node.
enum class ChildValue { NotBetter, Better, RaisedAlpha, CutOff };

// Takes a child's value into the node's best value, principal variation,
// alpha and best move, the same way in every kind of node.
inline ChildValue node_take_child_value(int value, int move, int& best_value, int& alpha, int beta,
                                        int& best_move, move_t* pv, const move_t* child_pv) {
  if (value <= best_value) return ChildValue::NotBetter;
  best_value = value;
  pv_build(pv, child_pv, move);
  if (value <= alpha) return ChildValue::Better;
  alpha = value;
  best_move = move;
  return value >= beta ? ChildValue::CutOff : ChildValue::RaisedAlpha;
}

// Counts a node and raises the selective depth; calls search_check when its
// interval has run out.
void node_account(int height);

// Child depth of a move: depth (extended) or depth - 1; sets cap_extended
// when a capture extension was given.
int extended_depth(int depth, int move, const board_state_t& board, bool single_reply, bool in_pv, int height,
                   bool extended, bool* cap_extended);

// Mate-distance pruning of the window; returns true with *value when the node
// is decided.
bool node_mate_distance(const board_state_t& board, int height, int* alpha, int* beta, int* value);
