#pragma once
// The result of one root move, whether the root searched it or a slave
// returned it: confirms the iteration, records the root list value and the
// best line (reported when confirmed), and raises alpha.
#include "search/stack.h"

enum class RootMoveOutcome {
  Kept,         // alpha stays (the value may still have become the line's best)
  RaisedAlpha,  // alpha rose and stays below beta: the root's slaves may be told
  CutOff,       // the value reached beta: the root ends
};

RootMoveOutcome root_move_result(StackEntry& entry, int i, int move, int value, const move_t* child_pv);
