#pragma once
// Leaf counts of the legal move tree, for checking the move generator and make/unmake.
#include <cstdint>

#include "chess/board.h"

// Every leaf move is made and unmade, unless bulk is set: then the legal moves
// of the last ply are counted without making them.
uint64_t perft(board_state_t& board, int depth, bool bulk);
