#pragma once
// Piece codes: one int per board cell. A coloured piece is its type flags ORed
// with its colour flag (white 1, black 2); a queen is bishop | rook. Border
// cells hold the knight flag without a colour so sliders stop there and no
// colour test ever matches them.
#include <array>
#include <cstdint>

enum : int { WHITE = 0, BLACK = 1 };

enum : int {
  FLAG_WHITE = 1, FLAG_BLACK = 2,
  FLAG_WHITE_PAWN = 4, FLAG_BLACK_PAWN = 8, FLAG_PAWN = 12,
  FLAG_KNIGHT = 16, FLAG_BISHOP = 32, FLAG_ROOK = 64, FLAG_QUEEN = 96, FLAG_SLIDER = 96,
  FLAG_KING = 128,
};

enum : int {
  PIECE_EMPTY = 0,
  SQUARE_BORDER = 16,
  WHITE_PAWN = 5, BLACK_PAWN = 10,
  WHITE_KNIGHT = 17, BLACK_KNIGHT = 18,
  WHITE_BISHOP = 33, BLACK_BISHOP = 34,
  WHITE_ROOK = 65, BLACK_ROOK = 66,
  WHITE_QUEEN = 97, BLACK_QUEEN = 98,
  WHITE_KING = 129, BLACK_KING = 130,
};

// 12-index (tables, history, keys): white pawn 0, black pawn 1, ..., black king 11.
enum : int {
  INDEX_WHITE_PAWN = 0, INDEX_BLACK_PAWN = 1, INDEX_WHITE_KNIGHT = 2, INDEX_BLACK_KNIGHT = 3,
  INDEX_WHITE_BISHOP = 4, INDEX_BLACK_BISHOP = 5, INDEX_WHITE_ROOK = 6, INDEX_BLACK_ROOK = 7,
  INDEX_WHITE_QUEEN = 8, INDEX_BLACK_QUEEN = 9, INDEX_WHITE_KING = 10, INDEX_BLACK_KING = 11,
};

inline constexpr int piece_codes12[12] = {5, 10, 17, 18, 33, 34, 65, 66, 97, 98, 129, 130};

namespace piece_detail {
constexpr int order_of[12] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
constexpr int value_of[12] = {100, 100, 325, 325, 325, 325, 500, 500, 1000, 1000, 10000, 10000};
template <typename T>
constexpr std::array<T, 256> piece_table(const int (&per_piece)[12], int empty, int border) {
  std::array<T, 256> t{};
  for (int code = 0; code < 256; ++code) t[code] = -1;
  for (int i = 0; i < 12; ++i) t[piece_codes12[i]] = static_cast<T>(per_piece[i]);
  t[PIECE_EMPTY] = static_cast<T>(empty);
  t[SQUARE_BORDER] = static_cast<T>(border);
  return t;
}
constexpr int identity12[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
}  // namespace piece_detail

// Indexed by piece code; -1 for codes that are not pieces (the empty and border
// cells have -1 / -1 / 0 as stated per table).
inline constexpr std::array<int8_t, 256> piece_index12 =
    piece_detail::piece_table<int8_t>(piece_detail::identity12, -1, -1);
inline constexpr std::array<int8_t, 256> piece_order =
    piece_detail::piece_table<int8_t>(piece_detail::order_of, -1, -1);
inline constexpr std::array<int16_t, 256> piece_value =
    piece_detail::piece_table<int16_t>(piece_detail::value_of, 0, 0);

constexpr bool piece_is_pawn(int code) { return (code & FLAG_PAWN) != 0; }
constexpr bool piece_is_slider(int code) { return (code & FLAG_SLIDER) != 0; }
constexpr bool piece_is_king(int code) { return (code & FLAG_KING) != 0; }
constexpr bool piece_has_colour(int code, int colour) { return (code & (colour + 1)) != 0; }
constexpr int piece_colour(int code) { return (code & 3) - 1; }  // non-empty codes only
constexpr int colour_flag(int colour) { return colour + 1; }

inline constexpr int pawn_code[2] = {WHITE_PAWN, BLACK_PAWN};
inline constexpr int pawn_step[2] = {16, -16};
// Type flags of the promotion piece by the move's promotion bits (n, b, r, q).
inline constexpr int promotion_flags[4] = {FLAG_KNIGHT, FLAG_BISHOP, FLAG_ROOK, FLAG_QUEEN};

// Step lists, each terminated by 0.
inline constexpr int knight_steps[9] = {-33, -31, -18, -14, 14, 18, 31, 33, 0};
inline constexpr int bishop_steps[5] = {-17, -15, 15, 17, 0};
inline constexpr int rook_steps[5] = {-16, -1, 1, 16, 0};
inline constexpr int queen_steps[9] = {-17, -16, -15, -1, 1, 15, 16, 17, 0};
inline constexpr const int* king_steps = queen_steps;

// Step list by piece code; null for pawns, empty and border cells.
inline constexpr std::array<const int*, 256> piece_steps = [] {
  std::array<const int*, 256> t{};
  for (int c = 0; c < 2; ++c) {
    t[FLAG_KNIGHT | (c + 1)] = knight_steps;
    t[FLAG_BISHOP | (c + 1)] = bishop_steps;
    t[FLAG_ROOK | (c + 1)] = rook_steps;
    t[FLAG_QUEEN | (c + 1)] = queen_steps;
    t[FLAG_KING | (c + 1)] = queen_steps;
  }
  return t;
}();

// "PpNnBbRrQqKk"[12-index]; '?' for a code that is not a piece.
char piece_letter(int code);
// Code of a piece letter, or PIECE_EMPTY (0) when the character names no piece.
int piece_from_letter(char ch);
