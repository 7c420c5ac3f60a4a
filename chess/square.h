#pragma once
// Square numbering of the 16 x 16 board: sq = (rank index << 4) | file index,
// with file index = file + 4 and rank index = rank + 4, so a1 = 68 and h8 = 187.
// The four-cell border on every side lets knight, king and sliding steps from
// any playing square land inside the array, so no step needs a bounds test.
#include <array>
#include <cstdint>

enum : int {
  SQ_A1 = 68, SQ_B1 = 69, SQ_C1 = 70, SQ_D1 = 71, SQ_E1 = 72, SQ_F1 = 73, SQ_G1 = 74, SQ_H1 = 75,
  SQ_A8 = 180, SQ_B8 = 181, SQ_C8 = 182, SQ_D8 = 183, SQ_E8 = 184, SQ_F8 = 185, SQ_G8 = 186,
  SQ_H8 = 187,
};

// Direction steps.
enum : int { STEP_NORTH = 16, STEP_SOUTH = -16, STEP_EAST = 1, STEP_WEST = -1 };

constexpr bool square_is_on_board(int sq) { return ((sq - 68) & ~0x77) == 0; }
constexpr int square_make(int file, int rank) { return ((rank + 4) << 4) | (file + 4); }
constexpr int square_file(int sq) { return (sq & 15) - 4; }  // 0 = file a
constexpr int square_rank(int sq) { return (sq >> 4) - 4; }  // 0 = first rank

// Playing square to 0..63 (a1 = 0, b1 = 1, ..., h8 = 63); -1 for border cells.
inline constexpr std::array<int8_t, 256> square_to_sq64 = [] {
  std::array<int8_t, 256> t{};
  for (int sq = 0; sq < 256; ++sq)
    t[sq] = square_is_on_board(sq) ? static_cast<int8_t>(8 * square_rank(sq) + square_file(sq)) : -1;
  return t;
}();

inline constexpr std::array<uint8_t, 64> sq64_to_square = [] {
  std::array<uint8_t, 64> t{};
  for (int i = 0; i < 64; ++i) t[i] = static_cast<uint8_t>(square_make(i & 7, i >> 3));
  return t;
}();

// 1 for the playing squares of the first and the eighth rank.
inline constexpr std::array<uint8_t, 256> square_promotion_rank = [] {
  std::array<uint8_t, 256> t{};
  for (int sq = 0; sq < 256; ++sq)
    t[sq] = square_is_on_board(sq) && (sq >> 4 == 4 || sq >> 4 == 11) ? 1 : 0;
  return t;
}();

// Rank index seen from a colour: a black pawn on rank index 10 has relative
// rank index 5, like a white pawn on its second rank.
inline constexpr int rank_xor[2] = {0, 15};
constexpr int square_relative_rank(int sq, int colour) { return (sq >> 4) ^ rank_xor[colour]; }

// 0 or 1; two squares have the same colour when these agree.
constexpr int square_colour(int sq) { return (sq ^ (sq >> 4)) & 1; }

// Writes the two characters of the square and a terminating NUL (3 bytes).
char* square_to_text(int sq, char* text);
