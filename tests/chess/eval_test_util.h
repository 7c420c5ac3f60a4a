#pragma once
// Helpers for the evaluation tests: default weights, and colour-flipped boards.
#include <memory>

#include "base/option.h"
#include "chess/board.h"
#include "chess/eval.h"
#include "chess/material.h"
#include "chess/pawn.h"
#include "chess_test_util.h"
#include "uci/engine_init.h"

// Every evaluation setting from the current option values, as the engine
// applies them after a "setoption".
inline void eval_configure_from_options() { eval_configure(eval_settings_from_options()); }

// Default options, fixed tables and fresh caches. The piece-square table must
// be in place before boards are set up, since boards keep its sums.
inline void eval_test_setup() {
  option_reset_all();
  eval_init();
  eval_configure_from_options();
  pawn_alloc();
  material_alloc();
}

inline int swap_piece_colour(int code) {
  if (code == WHITE_PAWN) return BLACK_PAWN;
  if (code == BLACK_PAWN) return WHITE_PAWN;
  return code == PIECE_EMPTY ? code : code ^ (FLAG_WHITE | FLAG_BLACK);
}

// The board mirrored top to bottom with the colours, side to move, castling
// rights and en-passant square exchanged: the same position for the other side.
inline std::unique_ptr<board_state_t> colour_flipped(const board_state_t& board) {
  auto flipped = std::make_unique<board_state_t>(board);
  for (int i = 0; i < 64; ++i) flipped->squares[sq64_to_square[i]] = PIECE_EMPTY;
  for (int i = 0; i < 64; ++i) {
    int sq = sq64_to_square[i];
    flipped->squares[sq ^ 0xF0] = swap_piece_colour(board.squares[sq]);
  }
  flipped->side_to_move = board.side_to_move ^ 1;
  flipped->castle_flags = ((board.castle_flags & 3) << 2) | ((board.castle_flags >> 2) & 3);
  flipped->ep_target = board.ep_target != 0 ? board.ep_target ^ 0xF0 : 0;
  board_init_list(*flipped);
  return flipped;
}
