#pragma once
// Attack questions answered from small tables indexed by the difference of two
// squares, which the 16 x 16 board makes unique for every geometric relation.
#include <array>
#include <cstdint>

#include "chess/board.h"
#include "chess/rays.h"

namespace attack_detail {
constexpr int sign(int x) { return (x > 0) - (x < 0); }
constexpr int abs(int x) { return x < 0 ? -x : x; }
constexpr bool is_knight_jump(int df, int dr) {
  return (abs(df) == 1 && abs(dr) == 2) || (abs(df) == 2 && abs(dr) == 1);
}
constexpr bool is_line(int df, int dr) {
  return (df != 0 || dr != 0) && (df == 0 || dr == 0 || abs(df) == abs(dr));
}
// Fills one 240-entry table from f(file difference, rank difference).
template <typename T, typename F>
constexpr std::array<T, 240> delta_table(T outside, F f) {
  std::array<T, 240> t{};
  for (auto& v : t) v = outside;
  for (int dr = -7; dr <= 7; ++dr)
    for (int df = -7; df <= 7; ++df) t[dr * 16 + df + 119] = static_cast<T>(f(df, dr));
  return t;
}
}  // namespace attack_detail

// Indexed by (to - from) + 119.
inline constexpr int DELTA_OFFSET = 119;

// Unit step along a rank, file or diagonal, else 0.
inline constexpr std::array<int8_t, 240> delta_step_line =
    attack_detail::delta_table<int8_t>(0, [](int df, int dr) {
      return attack_detail::is_line(df, dr) ? attack_detail::sign(dr) * 16 + attack_detail::sign(df) : 0;
    });

// As delta_step_line, and the delta itself for knight jumps.
inline constexpr std::array<int8_t, 240> delta_step_any =
    attack_detail::delta_table<int8_t>(0, [](int df, int dr) {
      if (attack_detail::is_knight_jump(df, dr)) return dr * 16 + df;
      return attack_detail::is_line(df, dr) ? attack_detail::sign(dr) * 16 + attack_detail::sign(df) : 0;
    });

// Piece type flags that can attack along the delta on an empty board.
inline constexpr std::array<uint8_t, 240> delta_piece_mask =
    attack_detail::delta_table<uint8_t>(0, [](int df, int dr) {
      int mask = 0;
      if (dr == -1 && (df == -1 || df == 1)) mask |= FLAG_BLACK_PAWN;
      if (dr == 1 && (df == -1 || df == 1)) mask |= FLAG_WHITE_PAWN;
      if (attack_detail::is_knight_jump(df, dr)) mask |= FLAG_KNIGHT;
      if (attack_detail::is_line(df, dr)) {
        mask |= (df == 0 || dr == 0) ? FLAG_ROOK : FLAG_BISHOP;
        if (attack_detail::abs(df) <= 1 && attack_detail::abs(dr) <= 1) mask |= FLAG_KING;
      }
      return mask;
    });

// King distance inside the 15 x 15 window, -1 elsewhere.
inline constexpr std::array<int8_t, 240> square_distance =
    attack_detail::delta_table<int8_t>(-1, [](int df, int dr) {
      return attack_detail::abs(df) > attack_detail::abs(dr) ? attack_detail::abs(df) : attack_detail::abs(dr);
    });

// Indexed by step + 17: the slider type that moves along the step.
inline constexpr std::array<uint8_t, 35> step_slider_mask = [] {
  std::array<uint8_t, 35> t{};
  for (int s : {-17, -15, 15, 17}) t[s + 17] = FLAG_BISHOP;
  for (int s : {-16, -1, 1, 16}) t[s + 17] = FLAG_ROOK;
  return t;
}();

// Pieces giving check to the side to move. A legal position has at most two;
// board_init_list refuses positions with more, and the arrays keep a 0 after
// the last entry.
struct check_info_t {
  int32_t checker_count;
  int32_t checker_squares[3];  // terminated by 0
  int32_t checker_steps[3];    // unit step from the king towards a sliding checker, 0 otherwise
};

// Delta test: the piece code on from attacks to, with a clear path for sliders
// (knights, kings and pawns have nothing between, so the path test passes).
inline bool piece_attacks_square(const board_state_t& board, int code, int from, int to) {
  if ((code & delta_piece_mask[to - from + DELTA_OFFSET]) == 0) return false;
  return line_is_clear(board, from, to);
}

bool square_is_attacked(const board_state_t& board, int sq, int colour);
// The piece of that colour on sq is pinned to its own king.
bool square_is_pinned(const board_state_t& board, int sq, int colour);
bool side_is_in_check(const board_state_t& board);
void check_info_compute(check_info_t& check, const board_state_t& board);
// Number of pieces of the side not to move that attack the king of the side to move.
int checker_count_full(const board_state_t& board);
