#pragma once
// The result of one root move, whether the root searched it or a slave
// returned it: confirms the iteration, records the root list value and the
// best line (reported when confirmed), and raises alpha.
#include "search/stack.h"

// Returns true when the value reached beta (the root ends with a cut-off).
bool root_move_result(StackEntry& entry, int i, int move, int value, const move_t* child_pv);
