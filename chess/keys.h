#pragma once
// Position keys: the full key is the published opening-book key, also used by
// the transposition table; the pawn key indexes the pawn cache, the material
// key the material cache.
#include <array>
#include <cstdint>

#include "chess/board.h"
#include "chess/polyglot_random.h"

enum : int {
  RANDOM_CASTLE = 768,
  RANDOM_EN_PASSANT = 772,
  RANDOM_TURN = 780,
};

// Key of a piece (12-index) on a 256-cell square: the book format numbers
// black pieces first, hence the XOR 1.
inline uint64_t key_piece(int index12, int sq) {
  return polyglot_random[64 * (index12 ^ 1) + square_to_sq64[sq]];
}
// Key term of the n-th (0-based) piece of a 12-index in the material key.
inline uint64_t key_material(int index12, int n) { return polyglot_random[16 * index12 + n]; }
inline uint64_t key_en_passant(int ep_sq) { return polyglot_random[RANDOM_EN_PASSANT + square_file(ep_sq)]; }

// XOR of the castling keys of the bits set in the index.
inline constexpr std::array<uint64_t, 16> castle_keys = [] {
  std::array<uint64_t, 16> t{};
  for (int i = 0; i < 16; ++i)
    for (int bit = 0; bit < 4; ++bit)
      if (i & (1 << bit)) t[i] ^= polyglot_random[RANDOM_CASTLE + bit];
  return t;
}();

// castle_flags is ANDed with the masks of a move's origin and destination.
inline constexpr std::array<uint8_t, 256> castle_masks = [] {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = 15;
  t[SQ_A1] = 13; t[SQ_E1] = 12; t[SQ_H1] = 14;
  t[SQ_A8] = 7; t[SQ_E8] = 3; t[SQ_H8] = 11;
  return t;
}();

uint64_t key_compute_full(const board_state_t& board);
uint64_t key_compute_pawn(const board_state_t& board);
uint64_t key_compute_material(const board_state_t& board);
