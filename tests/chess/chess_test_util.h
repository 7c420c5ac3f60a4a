#pragma once
// Helpers shared by the chess-core tests.
#include <gtest/gtest.h>

#include <memory>

#include "chess/board.h"

// Boards are large records; tests keep them on the heap.
inline std::unique_ptr<board_state_t> board_from(const char* fen) {
  auto board = std::make_unique<board_state_t>();
  board_from_fen(*board, fen);
  return board;
}

inline const char* move_text(int move) {
  static char text[8];
  return move_to_text(move, text);
}
