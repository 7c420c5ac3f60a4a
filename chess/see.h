#pragma once
// Static exchange evaluation: the material balance of the capture sequence on
// a move's destination, each side always recapturing with its least valuable
// piece and free to stop. Works on attacker lists; never makes moves.
#include "chess/board.h"

// A colour has at most 16 pieces, so one list can hold every attacker a legal
// position can put on a square (x-rays included), promoted pieces and all.
enum : int { SeeListSize = 16 };

struct see_list_t {
  int count;
  int square[SeeListSize];  // ordered so that the last entry is the least valuable
};

// Balance in centipawns for the side making `move`.
int see_exchange(int move, const board_state_t& board);
// see_exchange(move) >= threshold, without playing out exchanges whose
// outcome is already bounded.
bool see_at_least(int move, const board_state_t& board, int threshold);
// En passant, captures of a piece worth at least the mover and capturing queen
// promotions are safe; under-promotions are not; otherwise see_exchange >= 0.
bool capture_is_safe(int move, const board_state_t& board);
