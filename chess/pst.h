#pragma once
// Piece-square values kept incrementally in every board. The evaluation's
// configuration fills the table; until then it is zero, so a board can be set
// up before the evaluation exists. Boards keep their sums until the next
// board_init_list, so the table is rebuilt before positions are set up.
#include <cstdint>

struct pst_pair_t {
  int16_t opening;
  int16_t endgame;
};

// Indexed by 12-index and 0..63 square.
extern pst_pair_t pst_table[12][64];
