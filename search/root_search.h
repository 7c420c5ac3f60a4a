#pragma once
// The root node: the bottom entry of every root search.
#include "chess/board.h"
#include "chess/movegen.h"

// Runs one root search of `list` on `board` (SearchCurrent's board) at
// `depth` for line SearchCurrent->multipv; search_type is SEARCH_TYPE_NORMAL
// or SEARCH_TYPE_SHORT. Returns the root value; the best line is in
// SearchBest[multipv] and the list is sorted by value. The stack is reset
// afterwards. May leave through search_check's non-local exit: the driver then
// calls Stack_Stop and Stack_Reset.
int root_search_run(move_list_t& list, board_state_t& board, int depth, int search_type);
