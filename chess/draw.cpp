#include "chess/draw.h"

#include "chess/attack.h"

namespace {

// Squares of the normalised board (pawn side white, pawn on files a-d).
enum : int {
  N_A7 = 164, N_B7 = 165, N_C7 = 166, N_D7 = 167, N_E7 = 168, N_G7 = 170, N_H7 = 171,
  N_A8 = 180, N_B8 = 181, N_C8 = 182, N_D8 = 183, N_E8 = 184,
};

int distance(int a, int b) { return square_distance[a - b + DELTA_OFFSET]; }

// A recogniser's material seen from the side with the pawn: that side is
// white, its (first) pawn stands on files a-d, and white_to_move says whether
// the pawn side moves.
struct normalised_t {
  int wk, wpiece, wp;  // wpiece 0 when the pawn side has only king and pawn
  int bk, bpiece;      // bpiece 0 for a bare king
  bool white_to_move;
};

normalised_t normalise(const board_state_t& board, int pawn_side) {
  int other = pawn_side ^ 1;
  int flip = pawn_side == BLACK ? 0xF0 : 0;
  if (square_file(board.pawn_list[pawn_side][0] ^ flip) >= 4) flip |= 0x0F;
  auto map = [flip](int sq) { return sq == 0 ? 0 : sq ^ flip; };
  normalised_t n;
  n.wk = map(board.piece_list[pawn_side][0]);
  n.wpiece = board.piece_count[pawn_side] > 1 ? map(board.piece_list[pawn_side][1]) : 0;
  n.wp = map(board.pawn_list[pawn_side][0]);
  n.bk = map(board.piece_list[other][0]);
  n.bpiece = board.piece_count[other] > 1 ? map(board.piece_list[other][1]) : 0;
  n.white_to_move = board.side_to_move == pawn_side;
  return n;
}

int pawn_side_of(const board_state_t& board) { return board.pawn_count[WHITE] > 0 ? WHITE : BLACK; }

int promotion_of(int pawn) { return (pawn & 15) | 0xB0; }
bool on_path(int sq, int pawn) { return square_file(sq) == square_file(pawn) && sq > pawn; }

// The piece on from reaches a square of the pawn's path along a diagonal;
// only the defending king blocks (the attackers' king and pawn do not).
bool bishop_guards_path(int bishop, int pawn, int blocker) {
  if (on_path(bishop, pawn)) return true;
  for (int i = 0; bishop_steps[i] != 0; ++i)
    for (int sq = bishop + bishop_steps[i]; square_is_on_board(sq) && sq != blocker; sq += bishop_steps[i])
      if (on_path(sq, pawn)) return true;
  return false;
}

bool recognise_kp_kq(const normalised_t& n) {
  const bool wtm = n.white_to_move;
  const int q = n.bpiece;
  int limit;
  if (n.wp == N_A7) {
    if (n.wk == N_B7 || n.wk == N_B8) {
      limit = wtm ? 3 : 4;
    } else if (n.wk == N_A8 || ((n.wk == N_C7 || n.wk == N_C8) && q != N_A8)) {
      if (!wtm && square_file(q) != 1) return false;
      limit = 4;
    } else {
      return false;
    }
    return distance(n.bk, N_A8) > limit;
  }
  if (n.wp == N_C7) {
    if ((n.wk == N_A7 || n.wk == N_A8) && q != N_C8) {
      if (!wtm && square_file(q) != 1) return false;
      limit = 3;
    } else if (n.wk == N_B7 || n.wk == N_B8 || n.wk == N_D7 || n.wk == N_D8) {
      // The king behind the pawn on the queen's line shields it from the checks.
      int step = delta_step_line[N_C7 - q + DELTA_OFFSET];
      bool shielded = step != 0 && n.wk == N_C7 + step;
      limit = (square_file(n.wk) == 1 ? 3 : 4) + (shielded ? 1 : 0) - (wtm ? 1 : 0);
    } else if (n.wk == N_C8) {
      limit = wtm ? 4 : 5;
    } else if ((n.wk == N_E7 || n.wk == N_E8) && q != N_C8) {
      if (!wtm && square_file(q) != 3) return false;
      limit = 4;
    } else {
      return false;
    }
    return distance(n.bk, N_C8) > limit;
  }
  return false;
}

bool recognise_kp_kr(const normalised_t& n) {
  const int p = n.wp, rook = n.bpiece, promotion = promotion_of(n.wp);
  int king_gap = distance(n.wk, p);
  int rank_gap = square_rank(n.wk) - square_rank(p);
  bool near = king_gap <= 1;
  if (king_gap == 2 && rank_gap >= -1 && rank_gap <= 1)
    near = n.white_to_move || square_file(rook) == (square_file(n.wk) + square_file(p)) / 2;
  if (!near) return false;
  int d = distance(n.wk, promotion) + (n.wk == promotion ? 1 : 0) + distance(p, promotion);
  if (n.wk == p + 16) {
    if (square_file(p) == 0) return false;
    d += 1;
  }
  if (square_file(rook) != square_file(p) && square_rank(rook) != 7) d -= 1;
  if (n.white_to_move) d -= 1;
  return d < distance(n.bk, promotion);
}

bool recognise_kp_kb(const normalised_t& n) { return bishop_guards_path(n.bpiece, n.wp, n.bk); }

bool recognise_kp_kn(const normalised_t& n) {
  int file = square_file(n.wp);
  auto guarded = [&](int sq) {
    return on_path(sq, n.wp) && !((file == 0 || file == 7) && sq == promotion_of(n.wp));
  };
  if (guarded(n.bpiece)) return true;
  for (int i = 0; knight_steps[i] != 0; ++i) {
    int sq = n.bpiece + knight_steps[i];
    if (square_is_on_board(sq) && guarded(sq)) return true;
  }
  return false;
}

bool recognise_knp_k(const normalised_t& n) { return n.wp == N_A7 && distance(n.bk, N_A8) <= 1; }

bool recognise_krp_kr(const normalised_t& n) {
  const int p = n.wp, wr = n.wpiece, br = n.bpiece, promotion = promotion_of(n.wp);
  if (n.bk == promotion && square_file(br) > square_file(p)) return true;
  if (square_file(n.bk) == square_file(p) && n.bk > p) return true;
  return wr == promotion && square_rank(p) == 6 && (n.bk == N_G7 || n.bk == N_H7) &&
         square_file(br) == square_file(p) && distance(n.wk, p) > (square_rank(br) >= 3 ? 2 : 1);
}

bool recognise_kbp_kb(const normalised_t& n) {
  return square_colour(n.wpiece) != square_colour(n.bpiece) && bishop_guards_path(n.bpiece, n.wp, n.bk);
}

bool recognise_scaled(const board_state_t& board, int recogniser) {
  switch (recogniser) {
    case RECOG_KQ_KP: case RECOG_KP_KQ: return recognise_kp_kq(normalise(board, pawn_side_of(board)));
    case RECOG_KR_KP: case RECOG_KP_KR: return recognise_kp_kr(normalise(board, pawn_side_of(board)));
    case RECOG_KB_KP: case RECOG_KP_KB: return recognise_kp_kb(normalise(board, pawn_side_of(board)));
    case RECOG_KN_KP: case RECOG_KP_KN: return recognise_kp_kn(normalise(board, pawn_side_of(board)));
    case RECOG_KNP_K: case RECOG_K_KNP: return recognise_knp_k(normalise(board, pawn_side_of(board)));
    case RECOG_KRP_KR: case RECOG_KR_KRP: return recognise_krp_kr(normalise(board, pawn_side_of(board)));
    case RECOG_KBP_KB: case RECOG_KB_KBP: return recognise_kbp_kb(normalise(board, pawn_side_of(board)));
    default: return false;
  }
}

// King and pawn against king: the positions the defender holds.
bool kp_k_is_draw(const normalised_t& n) {
  const int p = n.wp, wk = n.wk, bk = n.bk;
  const bool wtm = n.white_to_move;
  const int rank = square_rank(p);
  const bool king_behind = wk == p - 15 || wk == p - 17;
  const bool king_beside = wk == p - 1 || wk == p + 1;
  if (bk == p + 16) {
    if (rank < 6) return true;
    if (wtm ? king_behind : !king_behind) return true;
  }
  if (bk == p + 32 && (rank < 5 || !wtm || !king_beside)) return true;
  if (king_beside && bk == wk + 32 && wtm) return true;
  if ((wk == p + 15 || wk == p + 16 || wk == p + 17) && rank < 4 && bk == wk + 32 && wtm) return true;
  if (square_file(p) == 0) {
    if (distance(bk, N_A8) <= 1) return true;
    int pawn_rank = rank == 1 ? 2 : rank;
    if (square_file(wk) == 0 && square_file(bk) == 2 && square_rank(bk) > pawn_rank) return true;
  }
  return false;
}

bool has_bishop_on_colour(const board_state_t& board, int colour, int square_col) {
  int bishop = FLAG_BISHOP | colour_flag(colour);
  for (int i = 0; i < 32; ++i) {
    int sq = board.piece_list[colour][i];
    if (sq == 0) break;
    if (board.squares[sq] == bishop && square_colour(sq) == square_col) return true;
  }
  return false;
}

void lower(int& mul, int value) {
  if (value < mul) mul = value;
}

}  // namespace

void draw_scale(const board_state_t& board, const material_record_t& material, const pawn_record_t& pawns,
                int mul[2]) {
  constexpr int kPatternFlags = SIDE_FLAG_PAWNS_AND_BISHOPS | SIDE_FLAG_BISHOP_DRAW | SIDE_FLAG_KNIGHT_DRAW;
  // Most material has neither a draw pattern nor a recogniser.
  if (((material.side_flags[WHITE] | material.side_flags[BLACK]) & kPatternFlags) == 0 &&
      material.recogniser == RECOG_NONE)
    return;
  for (int me = 0; me < 2; ++me) {
    int opp = me ^ 1;
    int opp_king = board_king_square(board, opp);
    int flags = material.side_flags[me];
    int lone = pawns.lone_file_pawn[me];
    if ((flags & SIDE_FLAG_PAWNS_AND_BISHOPS) && lone != 0) {
      int file = square_file(lone);
      int promotion = me == WHITE ? (lone & 15) | 0xB0 : (lone & 15) | 0x40;
      if ((file == 0 || file == 7) && distance(opp_king, promotion) <= 1 &&
          !has_bishop_on_colour(board, me, square_colour(promotion)))
        lower(mul[me], 0);
    }
    if ((flags & SIDE_FLAG_BISHOP_DRAW) && lone != 0) {
      if (square_file(opp_king) == square_file(lone) &&
          square_relative_rank(opp_king, me) > square_relative_rank(lone, me) &&
          !has_bishop_on_colour(board, me, square_colour(opp_king)))
        lower(mul[me], 1);
    }
    if (flags & SIDE_FLAG_KNIGHT_DRAW) {
      int pawn = board.pawn_list[me][0];
      if (pawn != 0 && square_file(opp_king) == square_file(pawn) &&
          square_relative_rank(opp_king, me) > square_relative_rank(pawn, me) &&
          square_relative_rank(pawn, me) <= 9)
        lower(mul[me], 1);
    }
  }
  // The recognisers read fixed piece-list slots; a record reached through a
  // colliding key must not send them to a board with other material.
  if (material.recogniser != RECOG_NONE && material_recogniser_of(board) == material.recogniser &&
      recognise_scaled(board, material.recogniser)) {
    lower(mul[WHITE], 1);
    lower(mul[BLACK], 1);
  }
}

bool draw_recognised(const board_state_t& board) {
  material_record_t material = material_probe(board);
  if ((material.draw_flags & DRAW_FLAG_NODE) == 0) return false;
  if (material_recogniser_of(board) != material.recogniser) return false;
  switch (material.recogniser) {
    case RECOG_K_K: case RECOG_KB_K: case RECOG_K_KB: case RECOG_KN_K: case RECOG_K_KN:
      return true;
    case RECOG_KP_K: case RECOG_K_KP:
      return kp_k_is_draw(normalise(board, pawn_side_of(board)));
    case RECOG_KB_KB:
      return square_colour(board.piece_list[WHITE][1]) == square_colour(board.piece_list[BLACK][1]);
    case RECOG_KBP_K: case RECOG_K_KBP: {
      normalised_t n = normalise(board, pawn_side_of(board));
      return square_file(n.wp) == 0 && distance(n.bk, N_A8) <= 1 &&
             square_colour(n.wpiece) != square_colour(N_A8);
    }
    default:
      return false;
  }
}
