#include "chess/eval.h"

#include <array>
#include <bit>
#include <cstddef>

#include "chess/attack.h"
#include "chess/draw.h"
#include "chess/eval_cache.h"
#include "chess/material.h"
#include "chess/pawn.h"
#include "chess/pst.h"
#include "chess/see.h"
#include "chess/value.h"

eval_parameters_t eval_parameters = {256, 256, 256, true, 200, 1700, false};

namespace {

// ---- Piece-square profiles (index 0..7 = file a..h or rank 1..8) ----
constexpr int pst_pawn_file[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int pst_knight_line[8] = {-4, -2, 0, 1, 1, 0, -2, -4};
constexpr int pst_knight_rank[8] = {-2, -1, 0, 1, 2, 3, 2, 1};
constexpr int pst_bishop_line[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int pst_rook_file[8] = {-2, -1, 0, 1, 1, 0, -1, -2};
constexpr int pst_queen_line[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int pst_king_line[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int pst_king_file[8] = {3, 4, 2, 0, 0, 2, 4, 3};
constexpr int pst_king_rank[8] = {1, 0, -2, -3, -4, -5, -6, -7};

// ---- Fixed evaluation tables ----
std::array<std::array<uint8_t, 256>, 2> mobility_credit{};

// White's knight outposts by 0..63 square; black uses the vertical mirror.
constexpr std::array<int8_t, 64> outpost_white = [] {
  std::array<int8_t, 64> t{};
  constexpr int8_t middle[8] = {0, 2, 5, 10, 10, 5, 2, 0};
  constexpr int8_t sixth[8] = {0, 0, 4, 5, 5, 4, 0, 0};
  for (int f = 0; f < 8; ++f) {
    t[3 * 8 + f] = middle[f];
    t[4 * 8 + f] = middle[f];
    t[5 * 8 + f] = sixth[f];
  }
  return t;
}();

constexpr std::array<uint8_t, 256> king_attack_points = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 2; ++c) {
    t[FLAG_KNIGHT | (c + 1)] = 1;
    t[FLAG_BISHOP | (c + 1)] = 1;
    t[FLAG_ROOK | (c + 1)] = 2;
    t[FLAG_QUEEN | (c + 1)] = 4;
  }
  return t;
}();
constexpr int attacker_count_scale[16] = {0, 0, 128, 192, 224, 240, 248, 252, 254, 255, 256, 256, 256, 256, 256, 256};
constexpr int pressure_weight[16] = {0, 2, 5, 8, 12, 15, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20};

// Per attacker kind (knight, bishop, rook, queen) and difference king - from:
// up to two steps d (0-terminated) after which the piece stands next to the king.
enum : int { KIND_KNIGHT, KIND_BISHOP, KIND_ROOK, KIND_QUEEN, KIND_COUNT };
int8_t king_zone_deltas[KIND_COUNT][240][3];

// Per 0..63 king square, the squares within king distance 2.
constexpr std::array<uint64_t, 64> king_near_squares = [] {
  std::array<uint64_t, 64> t{};
  for (int k = 0; k < 64; ++k)
    for (int i = 0; i < 64; ++i) {
      int df = (i & 7) - (k & 7), dr = (i >> 3) - (k >> 3);
      if (df >= -2 && df <= 2 && dr >= -2 && dr <= 2) t[k] |= uint64_t{1} << i;
    }
  return t;
}();

constexpr int clamp_index(int n) { return n < 0 ? 0 : n > 15 ? 15 : n; }
int distance(int a, int b) { return square_distance[a - b + DELTA_OFFSET]; }
int weighted(int value, int weight) { return value * weight / 256; }
int mirror_for(int colour, int sq) { return colour == WHITE ? sq : sq ^ 0xF0; }

void build_king_zone_deltas() {
  const int* steps[KIND_COUNT] = {knight_steps, bishop_steps, rook_steps, queen_steps};
  for (int kind = 0; kind < KIND_COUNT; ++kind) {
    for (int dr = -7; dr <= 7; ++dr) {
      for (int df = -7; df <= 7; ++df) {
        int8_t* list = king_zone_deltas[kind][dr * 16 + df + DELTA_OFFSET];
        list[0] = list[1] = list[2] = 0;
        int stored = 0;
        auto add = [&](int tf, int tr) {
          int d = tr * 16 + tf;
          for (int i = 0; i < stored; ++i)
            if (list[i] == d) return;
          if (stored < 2) list[stored++] = static_cast<int8_t>(d);
        };
        for (int i = 0; steps[kind][i] != 0; ++i) {
          int step = steps[kind][i];
          // Steps as (file, rank) offsets: -33 is one file left, two ranks down.
          int sr = (step + 8 + 128) / 16 - 8;
          int sf = step - sr * 16;
          int reach = kind == KIND_KNIGHT ? 1 : 7;
          for (int k = 1; k <= reach; ++k) {
            int tf = k * sf, tr = k * sr;
            if (tf < -7 || tf > 7 || tr < -7 || tr > 7) break;
            int gf = tf - df, gr = tr - dr;
            int gap = (gf < 0 ? -gf : gf) > (gr < 0 ? -gr : gr) ? (gf < 0 ? -gf : gf) : (gr < 0 ? -gr : gr);
            if (gap == 1) {
              add(tf, tr);
              break;
            }
          }
        }
      }
    }
  }
}

// ---- Patterns ----
struct pattern_sums_t {
  int opening, endgame;
};

// The same piece of the other colour.
constexpr int swap_colour(int code) {
  if (code == WHITE_PAWN) return BLACK_PAWN;
  if (code == BLACK_PAWN) return WHITE_PAWN;
  return code ^ (FLAG_WHITE | FLAG_BLACK);
}

// The pattern square, written for white, holds the piece, written for white.
bool holds(const board_state_t& board, int colour, int sq, int white_code) {
  return board.squares[mirror_for(colour, sq)] == (colour == WHITE ? white_code : swap_colour(white_code));
}

// Trapped bishops, blocked centre pawns and rooks shut in by their king,
// written for white; black sees the vertical mirror with the opposite sign.
void add_patterns(const board_state_t& board, int colour, pattern_sums_t& sums) {
  enum : int { A7 = 0xA4, B6 = 0x95, B8 = 0xB5, C7 = 0xA6, H7 = 0xAB, G6 = 0x9A, G8 = 0xBA, F7 = 0xA9,
               A6 = 0x94, B5 = 0x85, H6 = 0x9B, G5 = 0x8A, D2 = 0x57, D3 = 0x67, E2 = 0x58, E3 = 0x68,
               A2 = 0x54, H2 = 0x5B };
  int sign = colour == WHITE ? 1 : -1;
  int op = 0, eg = 0;
  auto at = [&](int sq, int white_code) { return holds(board, colour, sq, white_code); };
  // Each bishop pattern needs a bishop of the colour, each rook pattern its king on b1, c1, f1 or g1.
  if (board.piece_tally[INDEX_WHITE_BISHOP + colour] != 0) {
    if ((at(A7, WHITE_BISHOP) && at(B6, BLACK_PAWN)) || (at(B8, WHITE_BISHOP) && at(C7, BLACK_PAWN))) op -= 100, eg -= 100;
    if ((at(H7, WHITE_BISHOP) && at(G6, BLACK_PAWN)) || (at(G8, WHITE_BISHOP) && at(F7, BLACK_PAWN))) op -= 100, eg -= 100;
    if (at(A6, WHITE_BISHOP) && at(B5, BLACK_PAWN)) op -= 50, eg -= 50;
    if (at(H6, WHITE_BISHOP) && at(G5, BLACK_PAWN)) op -= 50, eg -= 50;
    if (at(D2, WHITE_PAWN) && board.squares[mirror_for(colour, D3)] != PIECE_EMPTY && at(SQ_C1, WHITE_BISHOP)) op -= 50;
    if (at(E2, WHITE_PAWN) && board.squares[mirror_for(colour, E3)] != PIECE_EMPTY && at(SQ_F1, WHITE_BISHOP)) op -= 50;
  }
  const int king = mirror_for(colour, board_king_square(board, colour));
  if ((king == SQ_B1 || king == SQ_C1) && (at(SQ_A1, WHITE_ROOK) || at(A2, WHITE_ROOK) || at(SQ_B1, WHITE_ROOK)))
    op -= 50;
  if ((king == SQ_F1 || king == SQ_G1) && (at(SQ_H1, WHITE_ROOK) || at(H2, WHITE_ROOK) || at(SQ_G1, WHITE_ROOK)))
    op -= 50;
  sums.opening += sign * op;
  sums.endgame += sign * eg;
}

// ---- Piece activity ----
// The step lists are constants: the loop over the rays is written out.
template <size_t N>
int ray_mobility(const board_state_t& board, int colour, int sq, const int (&steps)[N]) {
  int mob = 0;
#pragma GCC unroll 8
  for (size_t i = 0; i + 1 < N; ++i) {
    // The empty squares before the first piece or the border, then that cell's credit.
    int s = ray_blocker(board, sq, steps[i]);
    mob += (s - sq) / steps[i] - 1 + mobility_credit[colour][board.squares[s]];
  }
  return mob;
}

void piece_activity(const board_state_t& board, int me, const material_record_t& material,
                    const pawn_record_t& pawns, int& op, int& eg) {
  const int opp = me ^ 1;
  const int opp_king = board_king_square(board, opp);
  const int* pawn_bits_me = board.pawn_file_bits[me];
  const int* pawn_bits_opp = board.pawn_file_bits[opp];
  const bool seventh_target = (pawns.pawn_flags[opp] & PAWN_FLAG_ON_SECOND_RANK) != 0 ||
                              square_relative_rank(opp_king, me) == 11;
  int count = 0, pressure = 0;
  for (int i = 1; i < 32; ++i) {
    int sq = board.piece_list[me][i];
    if (sq == 0) break;
    int code = board.squares[sq];
    int rank = square_relative_rank(sq, me);
    bool advanced = rank >= 8;
    if ((code & FLAG_QUEEN) == FLAG_QUEEN) {
      int file_gap = square_file(sq) - square_file(opp_king);
      int rank_gap = square_rank(sq) - square_rank(opp_king);
      int d = (file_gap < 0 ? -file_gap : file_gap) + (rank_gap < 0 ? -rank_gap : rank_gap);
      op += 10 - d;
      eg += 10 - d;
      if (rank == 10 && seventh_target) op += 10, eg += 20;
      if (advanced) ++count, pressure += 4;
    } else if (code & FLAG_ROOK) {
      int mob = -7 + ray_mobility(board, me, sq, rook_steps);
      op += 2 * mob;
      eg += 4 * mob;
      int file = sq & 15;
      if (pawn_bits_me[file] != 0) {
        op -= 10, eg -= 10;
      } else {
        if (pawn_bits_opp[file] == 0) op += 10, eg += 10;
        if (material.side_flags[opp] & SIDE_FLAG_KING_SAFETY) {
          int gap = file - (opp_king & 15);
          if (gap == 0) op += 20;
          else if (gap == 1 || gap == -1) op += 10;
        }
      }
      if (rank == 10 && seventh_target) op += 20, eg += 40;
      if (advanced) ++count, pressure += 2;
    } else if (code & FLAG_BISHOP) {
      int mob = -6 + ray_mobility(board, me, sq, bishop_steps);
      op += 5 * mob;
      eg += 5 * mob;
      if (advanced) ++count, ++pressure;
    } else if (code & FLAG_KNIGHT) {
      int mob = -4;
#pragma GCC unroll 8
      for (int k = 0; k < 8; ++k) mob += mobility_credit[me][board.squares[sq + knight_steps[k]]];
      op += 4 * mob;
      eg += 4 * mob;
      int behind = sq - pawn_step[me];
      int outpost = outpost_white[square_to_sq64[mirror_for(me, sq)]];
      if (board.squares[behind - 1] == pawn_code[me]) op += outpost;
      if (board.squares[behind + 1] == pawn_code[me]) op += outpost;
      if (advanced) ++count, ++pressure;
    }
  }
  op += pressure * pressure_weight[clamp_index(count)];
}

// ---- King safety ----
bool pawn_at(const board_state_t& board, int colour, int white_sq) {
  return board.squares[mirror_for(colour, white_sq)] == pawn_code[colour];
}

bool shield_is_intact(const board_state_t& board, int me) {
  enum : int { A2 = 0x54, A3 = 0x64, B2 = 0x55, B3 = 0x65, C2 = 0x56, F2 = 0x59, G2 = 0x5A, G3 = 0x6A,
               H2 = 0x5B, H3 = 0x6B };
  int king = mirror_for(me, board_king_square(board, me));
  auto p = [&](int sq) { return pawn_at(board, me, sq); };
  if (king == SQ_G1 || king == SQ_H1)
    return (p(G2) && (p(H2) || p(H3))) || (p(F2) && p(G3) && p(H2));
  if (king == SQ_A1 || king == SQ_B1)
    return (p(B2) && (p(A2) || p(A3))) || (p(C2) && p(B3) && p(A2));
  return false;
}

int shelter(const board_state_t& board, int me, int sq) {
  int file = sq & 15;
  int rank = square_relative_rank(sq, me);
  auto file_penalty = [&](int f) {
    int bits = board.pawn_file_bits[me][f] & ranks.from[rank];
    int d = bits != 0 ? 11 - rank_lowest[bits] : 0;
    return 36 - d * d;
  };
  int penalty = 2 * file_penalty(file);
  if (file > 4) penalty += file_penalty(file - 1);
  if (file < 11) penalty += file_penalty(file + 1);
  return penalty == 0 ? 11 : penalty;
}

int storm(const board_state_t& board, int me, int file) {
  int penalty = 0;
  for (int f = file - 1; f <= file + 1; ++f) {
    if (f < 4 || f > 11) continue;
    int bits = board.pawn_file_bits[me ^ 1][f] & 0xFF;
    if (bits == 0) continue;
    int front = rank_highest[bits];
    if (front >= 7 && front <= 9) penalty += 10 * (front - 6);
  }
  return penalty;
}

bool piece_attacks_king_zone(const board_state_t& board, int code, int from, int king) {
  int kind = (code & FLAG_QUEEN) == FLAG_QUEEN ? KIND_QUEEN
             : (code & FLAG_ROOK)              ? KIND_ROOK
             : (code & FLAG_BISHOP)            ? KIND_BISHOP
                                               : KIND_KNIGHT;
  const int8_t* deltas = king_zone_deltas[kind][king - from + DELTA_OFFSET];
  for (int i = 0; deltas[i] != 0; ++i) {
    if (kind == KIND_KNIGHT) {
      int target = from + deltas[i];
      if (target >= 0 && target < 256 && square_is_on_board(target)) return true;
      continue;
    }
    // Any square the slider reaches along the ray, up to and including the
    // first piece, within two steps of the king.
    int step = delta_step_line[deltas[i] + DELTA_OFFSET];
    if (ray_reach(board, from, step) & king_near_squares[square_to_sq64[king]]) return true;
  }
  return false;
}

int king_safety(const board_state_t& board, int me) {
  const int opp = me ^ 1;
  const int king = board_king_square(board, me);
  const int file = king & 15;
  int penalty;
  if (eval_parameters.king_safety_shortcut && shield_is_intact(board, me)) {
    penalty = storm(board, me, file);
  } else {
    int p1 = shelter(board, me, king) + storm(board, me, file);
    int p2 = p1;
    int king_side = me == WHITE ? CASTLE_WHITE_KING : CASTLE_BLACK_KING;
    int queen_side = me == WHITE ? CASTLE_WHITE_QUEEN : CASTLE_BLACK_QUEEN;
    if (board.castle_flags & king_side) {
      int castled = shelter(board, me, mirror_for(me, SQ_G1)) + storm(board, me, SQ_G1 & 15);
      if (castled < p2) p2 = castled;
    }
    if (board.castle_flags & queen_side) {
      int castled = shelter(board, me, mirror_for(me, SQ_B1)) + storm(board, me, SQ_B1 & 15);
      if (castled < p2) p2 = castled;
    }
    penalty = (p1 + p2) / 2 + storm(board, me, file);
  }

  int total = 0, attackers = 0;
  for (int i = 1; i < 32; ++i) {
    int sq = board.piece_list[opp][i];
    if (sq == 0) break;
    int code = board.squares[sq];
    if (king_attack_points[code] != 0 && piece_attacks_king_zone(board, code, sq, king)) {
      total += king_attack_points[code];
      ++attackers;
    }
  }
  return -penalty - total * 20 * attacker_count_scale[clamp_index(attackers)] / 256;
}

// ---- Passed pawns ----
void passed_pawns(const board_state_t& board, int me, const pawn_record_t& pawns, int& op, int& eg) {
  const int opp = me ^ 1;
  for (unsigned files = pawns.passer_files[me]; files != 0; files &= files - 1) {
    const int file = std::countr_zero(files) + 4;
    int bits = board.pawn_file_bits[me][file] & 0xFF;
    if (bits == 0) continue;  // a record from a colliding key; nothing to score
    int rank = rank_highest[bits];
    int sq = ((rank ^ rank_xor[me]) << 4) | file;
    int target = sq + pawn_step[me];
    int bonus = passer_rank_bonus[rank];
    op += rank_quad(10, 70, bonus);
    eg += 20;
    // The endgame bonus below is scaled by the rank bonus: on the ranks where
    // that is 0 the free-path and king-distance terms add nothing, so their
    // exchange test is not worth running.
    if (bonus == 0) continue;
    int delta;
    if (board.piece_count[opp] < 2 &&
        (pawn_is_unstoppable(board, sq, me) || pawn_has_king_support(board, sq, me))) {
      delta = 920;
    } else if (board.squares[target] == PIECE_EMPTY &&
               see_at_least(move_encode(sq, target, square_promotion_rank[target] ? MOVE_PROMOTE_QUEEN : 0),
                            board, 0)) {
      delta = 180;
    } else {
      delta = 120;
    }
    delta += 20 * distance(board_king_square(board, opp), target) - 5 * distance(board_king_square(board, me), target);
    if (delta > 0) eg += (delta * bonus + 128) / 256;
  }
}

int phase_mix(int opening, int endgame, int phase) { return (opening * (256 - phase) + endgame * phase) / 256; }

}  // namespace

void eval_init() {
  for (int c = 0; c < 2; ++c) {
    for (int code = 0; code < 256; ++code) mobility_credit[c][code] = 0;
    mobility_credit[c][PIECE_EMPTY] = 1;
    for (int i = 0; i < 12; ++i)
      if (!piece_has_colour(piece_codes12[i], c)) mobility_credit[c][piece_codes12[i]] = 1;
  }
  build_king_zone_deltas();
}

void eval_parameter(const eval_parameters_t& parameters) {
  eval_parameters = parameters;
  eval_cache_clear();
}

void pst_init(int w_pawn, int w_square, int w_king) {
  // The board's piece-square sums are built from this table.
  eval_cache_clear();
  for (int s = 0; s < 64; ++s) {
    const int f = s & 7, r = s >> 3;
    int op[6] = {}, eg[6] = {};  // pawn, knight, bishop, rook, queen, king
    op[0] = 5 * pst_pawn_file[f];
    if ((f == 3 || f == 4) && (r == 2 || r == 4)) op[0] += 10;
    if ((f == 3 || f == 4) && r == 3) op[0] += 20;
    op[1] = 5 * (pst_knight_line[f] + pst_knight_line[r]) + 5 * pst_knight_rank[r];
    if (r == 7 && (f == 0 || f == 7)) op[1] -= 100;
    eg[1] = 5 * (pst_knight_line[f] + pst_knight_line[r]);
    op[2] = 2 * (pst_bishop_line[f] + pst_bishop_line[r]);
    if (r == 0) op[2] -= 10;
    if (f == r || f + r == 7) op[2] += 4;
    eg[2] = 3 * (pst_bishop_line[f] + pst_bishop_line[r]);
    op[3] = 3 * pst_rook_file[f];
    if (r == 0) op[4] -= 5;
    eg[4] = 4 * (pst_queen_line[f] + pst_queen_line[r]);
    op[5] = 10 * pst_king_file[f] + 10 * pst_king_rank[r];
    eg[5] = 12 * (pst_king_line[f] + pst_king_line[r]);

    const int op_weight[6] = {w_pawn, w_square, w_square, w_square, w_square, w_king};
    const int eg_weight[6] = {w_pawn, w_square, w_square, w_square, w_square, w_square};
    for (int piece = 0; piece < 6; ++piece) {
      int o = weighted(op[piece], op_weight[piece]);
      int e = weighted(eg[piece], eg_weight[piece]);
      pst_table[2 * piece][s] = {static_cast<int16_t>(o), static_cast<int16_t>(e)};
      pst_table[2 * piece + 1][s ^ 56] = {static_cast<int16_t>(-o), static_cast<int16_t>(-e)};
    }
  }
}

void eval_configure(const eval_settings_t& settings) {
  pawn_parameter(settings.weight_pawn_structure);
  material_parameter(settings.weight_material, settings.exchange_bonus);
  pst_init(settings.weight_pawn_structure, settings.weight_piece_square, settings.parameters.weight_king_safety);
  eval_parameter(settings.parameters);
}

namespace {

bool lazy_cut(int value, int alpha, int beta) {
  return value - eval_parameters.lazy_margin >= beta || value + eval_parameters.lazy_margin <= alpha;
}

}  // namespace

int eval_position(const board_state_t& board, int alpha, int beta) {
  eval_cache_entry_t& slot = eval_cache_slot(board.hash_key);
  if (slot.key == board.hash_key && slot.flags != 0) {
    if (slot.flags & EVAL_CACHE_DRAWN) return 0;
    if ((slot.flags & EVAL_CACHE_LAZY) && lazy_cut(slot.cheap_value, alpha, beta)) return slot.cheap_value;
    if (slot.flags & EVAL_CACHE_FULL) return slot.full_value;
  }

  const material_record_t material = material_probe(board);
  const pawn_record_t pawns = pawn_probe(board);
  int opening = board.pst_opening + material.score_opening + pawns.score_opening;
  int endgame = board.pst_endgame + material.score_endgame + pawns.score_endgame;

  int mul[2] = {material.draw_mul[WHITE], material.draw_mul[BLACK]};
  draw_scale(board, material, pawns, mul);
  if (mul[WHITE] == 0 && mul[BLACK] == 0) {
    slot = {board.hash_key, 0, 0, EVAL_CACHE_DRAWN, 0};
    return 0;
  }

  const bool white_moves = board.side_to_move == WHITE;
  opening += white_moves ? 20 : -20;
  endgame += white_moves ? 10 : -10;

  pattern_sums_t patterns{0, 0};
  add_patterns(board, WHITE, patterns);
  add_patterns(board, BLACK, patterns);
  opening += patterns.opening;
  endgame += patterns.endgame;

  const int phase = material.game_phase;
  uint8_t flags = 0;
  int cheap = 0;
  if (eval_parameters.lazy_eval && board.piece_count[WHITE] > 3 && board.piece_count[BLACK] > 3) {
    cheap = phase_mix(opening, endgame, phase);
    if (!white_moves) cheap = -cheap;
    flags = EVAL_CACHE_LAZY;
    if (lazy_cut(cheap, alpha, beta)) {
      slot = {board.hash_key, cheap, 0, flags, 0};
      return cheap;
    }
  }

  int act_op[2] = {0, 0}, act_eg[2] = {0, 0}, king_op[2] = {0, 0}, pass_op[2] = {0, 0}, pass_eg[2] = {0, 0};
  for (int c = 0; c < 2; ++c) {
    piece_activity(board, c, material, pawns, act_op[c], act_eg[c]);
    if (material.side_flags[c] & SIDE_FLAG_KING_SAFETY) king_op[c] = king_safety(board, c);
    passed_pawns(board, c, pawns, pass_op[c], pass_eg[c]);
  }
  opening += weighted(act_op[WHITE] - act_op[BLACK], eval_parameters.weight_piece_activity);
  endgame += weighted(act_eg[WHITE] - act_eg[BLACK], eval_parameters.weight_piece_activity);
  opening += weighted(king_op[WHITE] - king_op[BLACK], eval_parameters.weight_king_safety);
  opening += weighted(pass_op[WHITE] - pass_op[BLACK], eval_parameters.weight_passed_pawns);
  endgame += weighted(pass_eg[WHITE] - pass_eg[BLACK], eval_parameters.weight_passed_pawns);

  int value = phase_mix(opening, endgame, phase);

  if ((material.draw_flags & DRAW_FLAG_OPPOSITE_BISHOPS) &&
      square_colour(board.piece_list[WHITE][1]) != square_colour(board.piece_list[BLACK][1])) {
    for (int c = 0; c < 2; ++c)
      if (mul[c] == DRAW_MUL_FULL) mul[c] = 8;
  }
  if (value > 0)
    value = value * mul[WHITE] / 16;
  else if (value < 0)
    value = value * mul[BLACK] / 16;

  if (value > ValueEvalInf) value = ValueEvalInf;
  if (value < -ValueEvalInf) value = -ValueEvalInf;
  if (!white_moves) value = -value;
  slot = {board.hash_key, cheap, static_cast<int16_t>(value), static_cast<uint8_t>(flags | EVAL_CACHE_FULL), 0};
  return value;
}
