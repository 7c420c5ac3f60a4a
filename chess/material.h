#pragma once
// Material-signature records: the material balance, game phase, draw
// multipliers and endgame classification of a piece set. They depend only on
// the twelve piece counts, so they are cached by the board's material key.
#include <cstddef>
#include <cstdint>

#include "chess/board.h"

// Endgame classes by exact piece sets (W = white pieces besides the king, B = black).
enum : uint8_t {
  RECOG_NONE = 0,
  RECOG_K_K = 1, RECOG_KB_K = 2, RECOG_K_KB = 3, RECOG_KN_K = 4, RECOG_K_KN = 5,
  RECOG_KP_K = 6, RECOG_K_KP = 7, RECOG_KQ_KQ = 8, RECOG_KQ_KP = 9, RECOG_KP_KQ = 10,
  RECOG_KR_KR = 11, RECOG_KR_KP = 12, RECOG_KP_KR = 13, RECOG_KB_KB = 14, RECOG_KB_KP = 15,
  RECOG_KP_KB = 16, RECOG_KBP_K = 17, RECOG_K_KBP = 18, RECOG_KN_KN = 19, RECOG_KN_KP = 20,
  RECOG_KP_KN = 21, RECOG_KNP_K = 22, RECOG_K_KNP = 23, RECOG_KRP_KR = 24, RECOG_KR_KRP = 25,
  RECOG_KBP_KB = 26, RECOG_KB_KBP = 27,
};

enum : uint8_t {
  DRAW_FLAG_NODE = 1,            // draw_recognised may answer for this material
  DRAW_FLAG_OPPOSITE_BISHOPS = 2, // one bishop each, no other pieces, pawn counts close
};

// Per colour.
enum : uint8_t {
  SIDE_FLAG_PAWNS_AND_BISHOPS = 1,  // only pawns and bishops, at least one pawn
  SIDE_FLAG_BISHOP_DRAW = 2,        // ... with at most one bishop against some piece
  SIDE_FLAG_KNIGHT_DRAW = 4,        // exactly knight and pawn against some piece
  SIDE_FLAG_KING_SAFETY = 8,        // the opponent has a queen and another piece
};

enum : int { DRAW_MUL_FULL = 16 };  // multipliers are in sixteenths

struct material_record_t {
  uint32_t key_check;     // high 32 bits of the material key
  uint8_t recogniser;
  uint8_t draw_flags;
  uint8_t side_flags[2];
  uint8_t draw_mul[2];    // 16 = unchanged, 0 = cannot win
  int16_t game_phase;     // 0 (all material) .. 256 (bare kings)
  int16_t score_opening;  // weighted balance, white minus black
  int16_t score_endgame;
};
static_assert(sizeof(material_record_t) == 16);

enum : uint32_t { MATERIAL_CACHE_SIZE = 256, MATERIAL_CACHE_MASK = MATERIAL_CACHE_SIZE - 1 };

// A weighted balance (value x weight / 256, truncated toward zero) stored in
// 16 bits. At the largest weights a board full of promoted pieces would wrap
// around and change sign, so it saturates instead.
constexpr int16_t weighted_int16(int value, int weight) {
  int v = value * weight / 256;
  return static_cast<int16_t>(v > 32767 ? 32767 : v < -32767 ? -32767 : v);
}

struct cache_stats_t {
  uint64_t probes;
  uint64_t hits;
};

// Takes the material weight (8.8) and the exchange bonus in centipawns.
void material_init(int weight_material, int exchange_bonus);
void material_parameter(int weight_material, int exchange_bonus);
// Allocates (or re-allocates) the zero-filled cache; material_release frees it.
void material_alloc();
void material_release();
// Empties every slot (tests, benchmarks).
void material_clear();

// The record for the board's piece counts; computed and stored on a miss.
// Works without a cache (then always computed).
material_record_t material_probe(const board_state_t& board);
// Computes the record from the piece counts alone, without the cache.
material_record_t material_compute(const board_state_t& board);

// Endgame class of the board's exact piece set (RECOG_NONE for any other set).
uint8_t material_recogniser_of(const board_state_t& board);

cache_stats_t material_cache_stats();
void material_cache_stats_reset();
