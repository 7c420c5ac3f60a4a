#pragma once
// Moves are 16-bit values: destination in bits 0-5 and origin in bits 6-11 as
// 0..63 indices (a1 = 0), promotion piece in bits 12-13 (n, b, r, q), kind in
// bits 14-15. Castling is the king's two-square move. These values travel
// unchanged between processes (principal variations, killers, work items).
#include <cstdint>

#include "chess/square.h"

using move_t = std::uint16_t;

enum : int {
  MOVE_NONE = 0,
  MOVE_NULL = 11,  // a1 to d2 as indices: no real move of either side produces it
};

enum : int {
  MOVE_KIND_MASK = 0xC000,
  MOVE_KIND_NORMAL = 0x0000,
  MOVE_KIND_CASTLE = 0x4000,
  MOVE_KIND_PROMOTION = 0x8000,
  MOVE_KIND_EN_PASSANT = 0xC000,
  MOVE_PROMOTE_KNIGHT = 0x8000,
  MOVE_PROMOTE_BISHOP = 0x9000,
  MOVE_PROMOTE_ROOK = 0xA000,
  MOVE_PROMOTE_QUEEN = 0xB000,
};

struct board_state_t;

constexpr int move_from(int move) { return sq64_to_square[(move >> 6) & 63]; }
constexpr int move_to(int move) { return sq64_to_square[move & 63]; }
constexpr int move_kind(int move) { return move & MOVE_KIND_MASK; }
constexpr bool move_is_promotion(int move) { return move_kind(move) == MOVE_KIND_PROMOTION; }
constexpr bool move_is_en_passant(int move) { return move_kind(move) == MOVE_KIND_EN_PASSANT; }
constexpr bool move_is_castle(int move) { return move_kind(move) == MOVE_KIND_CASTLE; }
// Promotion bits 0..3 (knight, bishop, rook, queen); index into promotion_flags.
constexpr int move_promotion_bits(int move) { return (move >> 12) & 3; }

// From and to are 256-cell squares; flags are the kind and promotion bits.
constexpr move_t move_encode(int from, int to, int flags = 0) {
  return static_cast<move_t>(flags | (square_to_sq64[from] << 6) | square_to_sq64[to]);
}

// 1..65535 and not MOVE_NULL.
constexpr bool move_is_valid(int move) { return move >= 1 && move <= 65535 && move != MOVE_NULL; }

// "null" for MOVE_NULL, otherwise origin, destination and for a promotion the
// lower-case piece letter; MOVE_NONE reads a1a1. Writes at most 6 bytes.
char* move_to_text(int move, char* text);

// Reads four characters and an optional fifth promotion letter (the fifth
// belongs to the move unless it is a blank or the end). Returns MOVE_NONE for
// a bad square or a bad fifth character. Completes the en-passant and castling
// kinds from the board; does not test legality (see move_is_legal).
move_t move_from_text(const char* text, const board_state_t& board);
