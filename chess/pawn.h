#pragma once
// Pawn-structure records: doubled, isolated, backward and candidate pawns,
// passed-pawn files and the facts the draw knowledge needs. They depend only
// on the pawns, so they are cached by the board's pawn key.
#include <array>
#include <cstdint>

#include "chess/board.h"
#include "chess/material.h"

enum : uint8_t { PAWN_FLAG_ON_SECOND_RANK = 1 };

struct pawn_record_t {
  uint32_t key_check;        // high 32 bits of the pawn key
  int16_t score_opening;     // weighted, white minus black
  int16_t score_endgame;
  uint8_t pawn_flags[2];
  uint8_t passer_files[2];   // bit (file index - 4) per file holding a passed pawn
  uint8_t lone_file_pawn[2]; // square of the front pawn when all pawns share one file
                             // and no opponent neighbour stands ahead of them; else 0
  uint8_t pad[2];
};
static_assert(sizeof(pawn_record_t) == 16);

enum : uint32_t { PAWN_CACHE_SIZE = 16384, PAWN_CACHE_MASK = PAWN_CACHE_SIZE - 1 };

// Bit sets of ranks (bit r - 4 for rank index r, 4..11), indexed by rank
// index 0..15 so that r + 1 and r - 1 of any pawn rank stay inside.
struct rank_tables_t {
  std::array<uint8_t, 16> at, below, upto, above, from, next1, next2, next3;
};
extern const rank_tables_t ranks;
// Over byte values: lowest rank index present (11 for none), highest (4 for
// none), count, and the set seen from the other colour.
extern const std::array<uint8_t, 256> rank_lowest;
extern const std::array<uint8_t, 256> rank_highest;
extern const std::array<uint8_t, 256> rank_count;
extern const std::array<uint8_t, 256> ranks_mirrored;

// Rank bonus of a passed or candidate pawn by relative rank index, in 256ths
// (fourth rank 26 .. seventh rank 256), and the interpolation over it.
extern const std::array<int16_t, 16> passer_rank_bonus;
constexpr int rank_quad(int lo, int hi, int bonus) { return lo + ((hi - lo) * bonus + 128) / 256; }

// Takes the pawn-structure weight (8.8).
void pawn_init(int weight_pawn_structure);
void pawn_parameter(int weight_pawn_structure);
void pawn_alloc();
void pawn_release();
void pawn_clear();

pawn_record_t pawn_probe(const board_state_t& board);
pawn_record_t pawn_compute(const board_state_t& board);

cache_stats_t pawn_cache_stats();
void pawn_cache_stats_reset();

// Passed-pawn tests for the pawn of `colour` on sq.
bool pawn_is_unstoppable(const board_state_t& board, int sq, int colour);
bool pawn_has_king_support(const board_state_t& board, int sq, int colour);
