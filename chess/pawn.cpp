#include "chess/pawn.h"

#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "chess/eval_cache.h"
#include "chess/attack.h"

namespace {

constexpr uint8_t bit_of(int rank) { return rank >= 4 && rank <= 11 ? static_cast<uint8_t>(1 << (rank - 4)) : 0; }

constexpr rank_tables_t build_rank_tables() {
  rank_tables_t t{};
  for (int r = 0; r < 16; ++r) {
    for (int s = 4; s <= 11; ++s) {
      if (s == r) t.at[r] |= bit_of(s);
      if (s < r) t.below[r] |= bit_of(s);
      if (s <= r) t.upto[r] |= bit_of(s);
      if (s > r) t.above[r] |= bit_of(s);
      if (s >= r) t.from[r] |= bit_of(s);
      if (s > r && s <= r + 1) t.next1[r] |= bit_of(s);
      if (s > r && s <= r + 2) t.next2[r] |= bit_of(s);
      if (s > r && s <= r + 3) t.next3[r] |= bit_of(s);
    }
  }
  return t;
}

template <typename F>
constexpr std::array<uint8_t, 256> byte_table(F f) {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) t[v] = static_cast<uint8_t>(f(v));
  return t;
}

pawn_record_t* pawn_cache = nullptr;
cache_stats_t pawn_stats{};
int pawn_weight = 256;

int distance(int a, int b) { return square_distance[a - b + DELTA_OFFSET]; }

int promotion_square(int sq, int colour) { return colour == WHITE ? (sq & 15) | 0xB0 : (sq & 15) | 0x40; }

}  // namespace

const rank_tables_t ranks = build_rank_tables();
const std::array<uint8_t, 256> rank_lowest = byte_table([](int v) {
  for (int r = 4; r <= 11; ++r)
    if (v & bit_of(r)) return r;
  return 11;
});
const std::array<uint8_t, 256> rank_highest = byte_table([](int v) {
  for (int r = 11; r >= 4; --r)
    if (v & bit_of(r)) return r;
  return 4;
});
const std::array<uint8_t, 256> rank_count = byte_table([](int v) {
  int n = 0;
  for (int b = 0; b < 8; ++b) n += (v >> b) & 1;
  return n;
});
const std::array<uint8_t, 256> ranks_mirrored = byte_table([](int v) {
  int m = 0;
  for (int b = 0; b < 8; ++b)
    if (v & (1 << b)) m |= 1 << (7 - b);
  return m;
});
const std::array<int16_t, 16> passer_rank_bonus = {0, 0, 0, 0, 0, 0, 0, 26, 77, 154, 256, 0, 0, 0, 0, 0};

// The evaluation cache holds values built from pawn records: every change of
// the weight or of the cache's contents empties it.
void pawn_parameter(int weight_pawn_structure) {
  pawn_weight = weight_pawn_structure;
  eval_cache_clear();
}

void pawn_init(int weight_pawn_structure) { pawn_parameter(weight_pawn_structure); }

void pawn_alloc() {
  eval_cache_clear();
  pawn_release();
  size_t bytes = sizeof(pawn_record_t) * size_t{PAWN_CACHE_SIZE};
  pawn_cache = static_cast<pawn_record_t*>(my_malloc(bytes));
  if (pawn_cache != nullptr) std::memset(pawn_cache, 0, bytes);
  pawn_stats = {};
}

void pawn_release() {
  eval_cache_clear();
  std::free(pawn_cache);
  pawn_cache = nullptr;
}

void pawn_clear() {
  eval_cache_clear();
  if (pawn_cache != nullptr) std::memset(pawn_cache, 0, sizeof(pawn_record_t) * size_t{PAWN_CACHE_SIZE});
}

pawn_record_t pawn_compute(const board_state_t& board) {
  pawn_record_t rec{};
  rec.key_check = static_cast<uint32_t>(board.pawn_hash_key >> 32);
  int opening[2] = {0, 0};
  int endgame[2] = {0, 0};

  for (int me = 0; me < 2; ++me) {
    int opp = me ^ 1;
    // Both colours' pawns as relative-rank sets seen from `me`; the files
    // beside a and h (indices 3 and 12) are always empty.
    uint8_t own[16], their[16];
    for (int f = 0; f < 16; ++f) {
      own[f] = static_cast<uint8_t>(board.pawn_file_bits[me][f]);
      their[f] = ranks_mirrored[static_cast<uint8_t>(board.pawn_file_bits[opp][f])];
    }

    for (int i = 0; i < 16; ++i) {
      int sq = board.pawn_list[me][i];
      if (sq == 0) break;
      int f = sq & 15;
      int r = square_relative_rank(sq, me);
      uint8_t own_side = own[f - 1] | own[f + 1];
      uint8_t their_side = their[f - 1] | their[f + 1];
      uint8_t any_here = own[f] | their[f];

      if (r == 5) rec.pawn_flags[me] |= PAWN_FLAG_ON_SECOND_RANK;

      bool doubled = (own[f] & ranks.below[r]) != 0;
      bool isolated = own_side == 0;
      bool backward = false;
      if (!isolated && (own_side & ranks.upto[r]) == 0) {
        if ((own_side & ranks.at[r + 1]) == 0) {
          if (r != 5)
            backward = true;
          else if ((own_side & ranks.at[7]) == 0)
            backward = true;
          else
            backward = (any_here & ranks.next2[r]) != 0 || (their_side & ranks.next3[r]) != 0;
        } else {
          backward = (any_here & ranks.at[r + 1]) != 0 || (their_side & ranks.next2[r]) != 0;
        }
      }
      bool open = (any_here & ranks.above[r]) == 0;
      bool passed = open && (their_side & ranks.above[r]) == 0;
      bool candidate = false;
      if (open && !passed) {
        int helpers = rank_count[own[f - 1] & ranks.upto[r]] + rank_count[own[f + 1] & ranks.upto[r]];
        int sentries = rank_count[their[f - 1] & ranks.above[r]] + rank_count[their[f + 1] & ranks.above[r]];
        int near_helpers = rank_count[own[f - 1] & ranks.at[r - 1]] + rank_count[own[f + 1] & ranks.at[r - 1]];
        int near_sentries = rank_count[their[f - 1] & ranks.at[r + 1]] + rank_count[their[f + 1] & ranks.at[r + 1]];
        candidate = helpers - sentries >= 0 && near_helpers - near_sentries >= 0;
      }

      if (passed) rec.passer_files[me] |= static_cast<uint8_t>(1 << (f - 4));
      if (doubled) opening[me] -= 10, endgame[me] -= 20;
      if (isolated) {
        opening[me] -= open ? 20 : 10;
        endgame[me] -= 20;
      }
      if (backward) {
        opening[me] -= open ? 16 : 8;
        endgame[me] -= 10;
      }
      if (candidate) {
        opening[me] += rank_quad(5, 55, passer_rank_bonus[r]);
        endgame[me] += rank_quad(10, 110, passer_rank_bonus[r]);
      }
    }

    // A single file of pawns with no opponent neighbour ahead of the rearmost.
    int files = 0, file = 0;
    for (int f = 4; f <= 11; ++f)
      if (own[f] != 0) ++files, file = f;
    if (files == 1 && ((their[file - 1] | their[file + 1]) & ranks.above[rank_lowest[own[file]]]) == 0) {
      int rank = rank_highest[own[file]] ^ rank_xor[me];
      rec.lone_file_pawn[me] = static_cast<uint8_t>((rank << 4) | file);
    }
  }

  rec.score_opening = weighted_int16(opening[WHITE] - opening[BLACK], pawn_weight);
  rec.score_endgame = weighted_int16(endgame[WHITE] - endgame[BLACK], pawn_weight);
  return rec;
}

pawn_record_t pawn_probe(const board_state_t& board) {
  if (pawn_cache == nullptr) return pawn_compute(board);
  ++pawn_stats.probes;
  pawn_record_t& slot = pawn_cache[static_cast<uint32_t>(board.pawn_hash_key) & PAWN_CACHE_MASK];
  if (slot.key_check == static_cast<uint32_t>(board.pawn_hash_key >> 32)) {
    ++pawn_stats.hits;
    return slot;
  }
  slot = pawn_compute(board);
  return slot;
}

cache_stats_t pawn_cache_stats() { return pawn_stats; }
void pawn_cache_stats_reset() { pawn_stats = {}; }

bool pawn_is_unstoppable(const board_state_t& board, int sq, int colour) {
  int step = pawn_step[colour];
  for (int s = sq + step; square_is_on_board(s); s += step)
    if (board.squares[s] != PIECE_EMPTY && piece_has_colour(board.squares[s], colour)) return false;
  int promotion = promotion_square(sq, colour);
  int from = square_relative_rank(sq, colour) == 5 ? sq + step : sq;
  int d = distance(from, promotion);
  if (board.side_to_move != colour) ++d;
  return distance(board_king_square(board, colour ^ 1), promotion) > d;
}

bool pawn_has_king_support(const board_state_t& board, int sq, int colour) {
  int king = board_king_square(board, colour);
  int file = square_file(sq);
  return distance(king, promotion_square(sq, colour)) <= 1 && distance(king, sq) <= 1 &&
         !((file == 0 || file == 7) && square_file(king) == file);
}
