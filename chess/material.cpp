#include "chess/material.h"

#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "chess/eval_cache.h"

namespace {

material_record_t* material_cache = nullptr;
cache_stats_t material_stats{};
int material_weight = 256;
int exchange_bonus = 20;

// Counts of one colour, taken from piece_tally by 12-index.
struct side_count_t {
  int p, n, b, r, q;
  int minors() const { return n + b; }
  int pieces() const { return n + b + r + q; }
  int majors() const { return r + 2 * q; }           // wmaj
  int total() const { return minors() + 2 * majors(); }  // wtot
  int non_pawn_value() const { return 325 * (n + b) + 500 * r + 975 * q; }
  bool only(int np, int nn, int nb, int nr, int nq) const {
    return p == np && n == nn && b == nb && r == nr && q == nq;
  }
};

side_count_t side_count(const board_state_t& board, int colour) {
  const int32_t* t = board.piece_tally;
  return {t[INDEX_WHITE_PAWN + colour], t[INDEX_WHITE_KNIGHT + colour], t[INDEX_WHITE_BISHOP + colour],
          t[INDEX_WHITE_ROOK + colour], t[INDEX_WHITE_QUEEN + colour]};
}

// Exact piece sets; white's set first, then black's.
struct signature_t {
  int wp, wn, wb, wr, wq, bp, bn, bb, br, bq;
  uint8_t code;
};
constexpr signature_t signatures[] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, RECOG_K_K},     {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, RECOG_KB_K},
    {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, RECOG_K_KB},    {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, RECOG_KN_K},
    {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, RECOG_K_KN},    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, RECOG_KP_K},
    {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, RECOG_K_KP},    {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, RECOG_KQ_KQ},
    {0, 0, 0, 0, 1, 1, 0, 0, 0, 0, RECOG_KQ_KP},   {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, RECOG_KP_KQ},
    {0, 0, 0, 1, 0, 0, 0, 0, 1, 0, RECOG_KR_KR},   {0, 0, 0, 1, 0, 1, 0, 0, 0, 0, RECOG_KR_KP},
    {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, RECOG_KP_KR},   {0, 0, 1, 0, 0, 0, 0, 1, 0, 0, RECOG_KB_KB},
    {0, 0, 1, 0, 0, 1, 0, 0, 0, 0, RECOG_KB_KP},   {1, 0, 0, 0, 0, 0, 0, 1, 0, 0, RECOG_KP_KB},
    {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, RECOG_KBP_K},   {0, 0, 0, 0, 0, 1, 0, 1, 0, 0, RECOG_K_KBP},
    {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, RECOG_KN_KN},   {0, 1, 0, 0, 0, 1, 0, 0, 0, 0, RECOG_KN_KP},
    {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, RECOG_KP_KN},   {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, RECOG_KNP_K},
    {0, 0, 0, 0, 0, 1, 1, 0, 0, 0, RECOG_K_KNP},   {1, 0, 0, 1, 0, 0, 0, 0, 1, 0, RECOG_KRP_KR},
    {0, 0, 0, 1, 0, 1, 0, 0, 1, 0, RECOG_KR_KRP},  {1, 0, 1, 0, 0, 0, 0, 1, 0, 0, RECOG_KBP_KB},
    {0, 0, 1, 0, 0, 1, 0, 1, 0, 0, RECOG_KB_KBP},
};

uint8_t recogniser_of(const side_count_t& w, const side_count_t& b) {
  for (const signature_t& s : signatures)
    if (w.only(s.wp, s.wn, s.wb, s.wr, s.wq) && b.only(s.bp, s.bn, s.bb, s.br, s.bq)) return s.code;
  return RECOG_NONE;
}

// Multiplier of the side `me` against `opp`, before the KQ-KQ / KR-KR rule.
int draw_multiplier(const side_count_t& me, const side_count_t& opp) {
  int my_total = me.total();
  int opp_total = opp.total();
  if (me.p == 0) {
    if (my_total == 1) return 0;
    if (my_total == 2 && me.n == 2) return (opp.pieces() == 0 && opp.p > 0) ? 1 : 0;
    if (my_total == 2 && me.b == 2 && opp_total == 1 && opp.n == 1) return 8;
    if (my_total - opp_total <= 1 && me.majors() <= 2) return 2;
  } else if (me.p == 1) {
    // The defender can give up a piece for the last pawn.
    bool sacrifice = true;
    if (opp.minors() > 0)
      opp_total -= 1;
    else if (opp.r > 0)
      opp_total -= 2;
    else
      sacrifice = false;
    if (sacrifice) {
      if (my_total == 1) return 4;
      if (my_total == 2 && me.n == 2) return 4;
      if (my_total - opp_total <= 1 && me.majors() <= 2) return 8;
    }
  }
  return DRAW_MUL_FULL;
}

uint8_t side_flags_of(const side_count_t& me, const side_count_t& opp) {
  uint8_t flags = 0;
  if (me.n == 0 && me.r == 0 && me.q == 0 && me.p > 0) {
    flags |= SIDE_FLAG_PAWNS_AND_BISHOPS;
    if (me.b <= 1 && opp.pieces() > 0) flags |= SIDE_FLAG_BISHOP_DRAW;
  }
  if (me.only(1, 1, 0, 0, 0) && opp.pieces() > 0) flags |= SIDE_FLAG_KNIGHT_DRAW;
  if (opp.q > 0 && opp.pieces() >= 2) flags |= SIDE_FLAG_KING_SAFETY;
  return flags;
}


}  // namespace

// The evaluation cache holds values built from material records: every change
// of the settings or of the cache's contents empties it.
void material_parameter(int weight_material, int exchange_bonus_centipawns) {
  eval_cache_clear();
  material_weight = weight_material;
  exchange_bonus = exchange_bonus_centipawns;
}

void material_init(int weight_material, int exchange_bonus_centipawns) {
  material_parameter(weight_material, exchange_bonus_centipawns);
}

void material_alloc() {
  eval_cache_clear();
  material_release();
  size_t bytes = sizeof(material_record_t) * size_t{MATERIAL_CACHE_SIZE};
  material_cache = static_cast<material_record_t*>(my_malloc(bytes));
  if (material_cache != nullptr) std::memset(material_cache, 0, bytes);
  material_stats = {};
}

void material_release() {
  eval_cache_clear();
  std::free(material_cache);
  material_cache = nullptr;
}

void material_clear() {
  eval_cache_clear();
  if (material_cache != nullptr)
    std::memset(material_cache, 0, sizeof(material_record_t) * size_t{MATERIAL_CACHE_SIZE});
}

material_record_t material_compute(const board_state_t& board) {
  material_record_t rec{};
  rec.key_check = static_cast<uint32_t>(board.material_hash_key >> 32);
  const side_count_t count[2] = {side_count(board, WHITE), side_count(board, BLACK)};
  const side_count_t& w = count[WHITE];
  const side_count_t& b = count[BLACK];

  rec.recogniser = recogniser_of(w, b);

  if (w.p + b.p + w.r + b.r + w.q + b.q == 0) {
    if (w.minors() + b.minors() < 2 || rec.recogniser == RECOG_KB_KB) rec.draw_flags |= DRAW_FLAG_NODE;
  } else if (rec.recogniser == RECOG_KP_K || rec.recogniser == RECOG_K_KP ||
             rec.recogniser == RECOG_KBP_K || rec.recogniser == RECOG_K_KBP) {
    rec.draw_flags |= DRAW_FLAG_NODE;
  }
  int pawn_gap = w.p - b.p;
  if (w.n + b.n + w.r + b.r + w.q + b.q == 0 && w.b == 1 && b.b == 1 && pawn_gap <= 2 && pawn_gap >= -2)
    rec.draw_flags |= DRAW_FLAG_OPPOSITE_BISHOPS;

  for (int c = 0; c < 2; ++c) {
    rec.draw_mul[c] = static_cast<uint8_t>(draw_multiplier(count[c], count[c ^ 1]));
    rec.side_flags[c] = side_flags_of(count[c], count[c ^ 1]);
  }
  if (rec.recogniser == RECOG_KQ_KQ || rec.recogniser == RECOG_KR_KR) rec.draw_mul[0] = rec.draw_mul[1] = 0;

  int phase = 24 - (w.minors() + b.minors()) - 2 * (w.r + b.r) - 4 * (w.q + b.q);
  if (phase < 0) phase = 0;
  rec.game_phase = static_cast<int16_t>((phase * 256 + 12) / 24);

  int opening = 80 * (w.p - b.p) + w.non_pawn_value() - b.non_pawn_value();
  int endgame = 90 * (w.p - b.p) + w.non_pawn_value() - b.non_pawn_value();
  if (w.non_pawn_value() > b.non_pawn_value() && w.p < b.p) {
    opening += exchange_bonus;
    endgame += exchange_bonus;
  } else if (b.non_pawn_value() > w.non_pawn_value() && b.p < w.p) {
    opening -= exchange_bonus;
    endgame -= exchange_bonus;
  }
  if (w.b >= 2) opening += 50, endgame += 50;
  if (b.b >= 2) opening -= 50, endgame -= 50;
  rec.score_opening = weighted_int16(opening, material_weight);
  rec.score_endgame = weighted_int16(endgame, material_weight);
  return rec;
}

material_record_t material_probe(const board_state_t& board) {
  if (material_cache == nullptr) return material_compute(board);
  ++material_stats.probes;
  material_record_t& slot = material_cache[static_cast<uint32_t>(board.material_hash_key) & MATERIAL_CACHE_MASK];
  if (slot.key_check == static_cast<uint32_t>(board.material_hash_key >> 32)) {
    ++material_stats.hits;
    return slot;
  }
  slot = material_compute(board);
  return slot;
}

uint8_t material_recogniser_of(const board_state_t& board) {
  return recogniser_of(side_count(board, WHITE), side_count(board, BLACK));
}

cache_stats_t material_cache_stats() { return material_stats; }
void material_cache_stats_reset() { material_stats = {}; }
