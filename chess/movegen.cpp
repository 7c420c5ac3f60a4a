#include "chess/movegen.h"

#include <cstddef>

#include "chess/legality.h"

namespace {

inline void add(move_list_t& list, int move) { list.moves[list.count++] = static_cast<move_t>(move); }

// Adds the move when `keep` holds. The slot past the list is written either
// way (the list has room for every move of a position and more), so whether a
// capture is found costs no branch.
inline void add_if(move_list_t& list, int move, bool keep) {
  list.moves[list.count] = static_cast<move_t>(move);
  list.count += keep;
}

inline void add_promotions(move_list_t& list, int from, int to) {
  int base = move_encode(from, to);
  add(list, base | MOVE_PROMOTE_QUEEN);
  add(list, base | MOVE_PROMOTE_KNIGHT);
  add(list, base | MOVE_PROMOTE_ROOK);
  add(list, base | MOVE_PROMOTE_BISHOP);
}

// One ray of a slider: the empty squares, then the capture that ends it.
template <bool Captures, bool Quiets>
inline void slide(move_list_t& list, const board_state_t& board, int opp_flag, int from, int from_bits, int step) {
  const int* squares = board.squares;
  int to = from + step;
  if (Quiets) {
    for (; squares[to] == PIECE_EMPTY; to += step) add(list, from_bits | square_to_sq64[to]);
  } else {
    to = ray_blocker(board, from, step);
  }
  if (Captures) add_if(list, from_bits | square_to_sq64[to], (squares[to] & opp_flag) != 0);
}

// One step of a knight or king.
template <bool Captures, bool Quiets>
inline void leap(move_list_t& list, const int* squares, int opp_flag, int from, int from_bits, int step) {
  int to = from + step;
  int target = squares[to];
  if (!Quiets) {
    add_if(list, from_bits | square_to_sq64[to], (target & opp_flag) != 0);
  } else if (target == PIECE_EMPTY) {
    add(list, from_bits | square_to_sq64[to]);
  } else if (Captures && (target & opp_flag)) {
    add(list, from_bits | square_to_sq64[to]);
  }
}

// Every step of a step list (written out by the compiler: the lists are constants).
template <bool Captures, bool Quiets, bool Slider, size_t N>
inline void steps_of(move_list_t& list, const board_state_t& board, int opp_flag, int from, const int (&steps)[N]) {
  const int from_bits = square_to_sq64[from] << 6;
#pragma GCC unroll 8
  for (size_t i = 0; i + 1 < N; ++i) {
    if (Slider)
      slide<Captures, Quiets>(list, board, opp_flag, from, from_bits, steps[i]);
    else
      leap<Captures, Quiets>(list, board.squares, opp_flag, from, from_bits, steps[i]);
  }
}

// Non-pawn pieces in list order (steps and rays in step-list order): captures,
// quiet moves or both.
template <bool Captures, bool Quiets>
inline void gen_pieces(move_list_t& list, const board_state_t& board) {
  int me = board.side_to_move;
  int opp_flag = colour_flag(me ^ 1);
  const int* squares = board.squares;
  for (const int* p = board.piece_list[me]; *p != 0; ++p) {
    const int from = *p;
    switch (squares[from] & ~(FLAG_WHITE | FLAG_BLACK)) {
      case FLAG_KNIGHT: steps_of<Captures, Quiets, false>(list, board, opp_flag, from, knight_steps); break;
      case FLAG_BISHOP: steps_of<Captures, Quiets, true>(list, board, opp_flag, from, bishop_steps); break;
      case FLAG_ROOK: steps_of<Captures, Quiets, true>(list, board, opp_flag, from, rook_steps); break;
      case FLAG_QUEEN: steps_of<Captures, Quiets, true>(list, board, opp_flag, from, queen_steps); break;
      default: steps_of<Captures, Quiets, false>(list, board, opp_flag, from, queen_steps); break;  // king
    }
  }
}

// Pawn captures (with promotions), then pushes. With Captures alone, pushes
// are only the promotions; with Quiets alone, only non-promoting pushes.
template <bool Captures, bool Quiets>
inline void gen_pawns(move_list_t& list, const board_state_t& board) {
  int me = board.side_to_move;
  int opp_flag = colour_flag(me ^ 1);
  int step = pawn_step[me];
  const int* squares = board.squares;
  for (const int* p = board.pawn_list[me]; *p != 0; ++p) {
    int from = *p;
    if (Captures) {
      for (int to : {from + step - 1, from + step + 1}) {
        if (squares[to] & opp_flag) {
          if (square_promotion_rank[to])
            add_promotions(list, from, to);
          else
            add(list, move_encode(from, to));
        }
      }
    }
    int to = from + step;
    if (squares[to] != PIECE_EMPTY) continue;
    if (square_promotion_rank[to]) {
      if (Captures) add_promotions(list, from, to);
      continue;
    }
    if (!Quiets) continue;
    add(list, move_encode(from, to));
    if (square_relative_rank(from, me) == 5 && squares[to + step] == PIECE_EMPTY)
      add(list, move_encode(from, to + step));
  }
}

}  // namespace

void movegen_piece_moves(move_list_t& list, const board_state_t& board) {
  gen_pieces<true, true>(list, board);
  gen_pawns<true, true>(list, board);
}

void movegen_all(move_list_t& list, const board_state_t& board) {
  movegen_piece_moves(list, board);
  movegen_en_passant(list, board);
  movegen_castling(list, board);
}

void movegen_captures(move_list_t& list, const board_state_t& board) {
  gen_pieces<true, false>(list, board);
  gen_pawns<true, false>(list, board);
}

void movegen_en_passant(move_list_t& list, const board_state_t& board) {
  int ep = board.ep_target;
  if (ep == 0) return;
  int me = board.side_to_move;
  int behind = ep - pawn_step[me];
  if (board.squares[behind + 1] == pawn_code[me]) add(list, move_encode(behind + 1, ep, MOVE_KIND_EN_PASSANT));
  if (board.squares[behind - 1] == pawn_code[me]) add(list, move_encode(behind - 1, ep, MOVE_KIND_EN_PASSANT));
}

void movegen_quiet(move_list_t& list, const board_state_t& board) {
  gen_pieces<false, true>(list, board);
  gen_pawns<false, true>(list, board);
  movegen_castling(list, board);
}

void movegen_castling(move_list_t& list, const board_state_t& board) {
  int me = board.side_to_move;
  int flags = (board.castle_flags >> (2 * me)) & 3;
  if (flags == 0) return;
  int opp = me ^ 1;
  int king = me == WHITE ? SQ_E1 : SQ_E8;
  const int* sq = board.squares;
  // Castling out of check is never legal; the legality test only looks at the destination.
  if (square_is_attacked(board, king, opp)) return;
  if ((flags & 1) && sq[king + 1] == PIECE_EMPTY && sq[king + 2] == PIECE_EMPTY &&
      !square_is_attacked(board, king + 1, opp))
    add(list, move_encode(king, king + 2, MOVE_KIND_CASTLE));
  if ((flags & 2) && sq[king - 1] == PIECE_EMPTY && sq[king - 2] == PIECE_EMPTY && sq[king - 3] == PIECE_EMPTY &&
      !square_is_attacked(board, king - 1, opp))
    add(list, move_encode(king, king - 2, MOVE_KIND_CASTLE));
}

bool movegen_evasions(move_list_t& list, const board_state_t& board, const check_info_t& check, bool legal,
                      bool stop) {
  int me = board.side_to_move;
  int opp = me ^ 1;
  int opp_flag = colour_flag(opp);
  int king = board_king_square(board, me);
  const int* squares = board.squares;
  int step_a = check.checker_steps[0];
  int step_b = check.checker_count > 1 ? check.checker_steps[1] : 0;

  // Accepts a non-king move unless legal is set and the mover is pinned.
  auto offer = [&](int from, int move) {
    if (legal && square_is_pinned(board, from, me)) return false;
    if (stop) return true;
    add(list, move);
    return false;
  };
  auto offer_pawn = [&](int from, int to) {
    if (square_promotion_rank[to]) {
      if (legal && square_is_pinned(board, from, me)) return false;
      if (stop) return true;
      add_promotions(list, from, to);
      return false;
    }
    return offer(from, move_encode(from, to));
  };

  for (const int* s = queen_steps; *s != 0; ++s) {
    int step = *s;
    if (step + step_a == 0 || step + step_b == 0) continue;  // still on the checking ray
    int to = king + step;
    int target = squares[to];
    if (target != PIECE_EMPTY && !(target & opp_flag)) continue;
    if (legal && square_is_attacked(board, to, opp)) continue;
    if (stop) return true;
    add(list, move_encode(king, to));
  }
  if (check.checker_count != 1) return false;

  int checker = check.checker_squares[0];
  int pstep = pawn_step[me];
  int own_pawn = pawn_code[me];
  for (int from : {checker - pstep - 1, checker - pstep + 1})
    if (squares[from] == own_pawn && offer_pawn(from, checker)) return true;

  int ep = board.ep_target;
  if (ep != 0 && checker == (ep ^ 16)) {
    for (int from : {checker + 1, checker - 1}) {
      if (squares[from] != own_pawn) continue;
      int move = move_encode(from, ep, MOVE_KIND_EN_PASSANT);
      // Removing the checker may open a line to the king, so en passant is tested in full.
      if (legal && !move_is_legal_given_pseudo(move, board)) continue;
      if (stop) return true;
      add(list, move);
    }
  }
  for (const int* p = board.piece_list[me] + 1; *p != 0; ++p)
    if (piece_attacks_square(board, squares[*p], *p, checker) && offer(*p, move_encode(*p, checker)))
      return true;

  if (step_a == 0) return false;
  for (int to = king + step_a; to != checker; to += step_a) {
    int from = to - pstep;
    if (squares[from] == own_pawn) {
      if (offer_pawn(from, to)) return true;
    } else if (squares[from] == PIECE_EMPTY && squares[from - pstep] == own_pawn &&
               square_relative_rank(from - pstep, me) == 5) {
      if (offer(from - pstep, move_encode(from - pstep, to))) return true;
    }
    for (const int* p = board.piece_list[me] + 1; *p != 0; ++p)
      if (piece_attacks_square(board, squares[*p], *p, to) && offer(*p, move_encode(*p, to))) return true;
  }
  return false;
}

void movegen_legal(move_list_t& list, const board_state_t& board) {
  check_info_t check;
  check_info_compute(check, board);
  if (check.checker_count > 0) {
    movegen_evasions(list, board, check, true, false);
    return;
  }
  int start = list.count;
  movegen_all(list, board);
  int kept = start;
  for (int i = start; i < list.count; ++i)
    if (move_is_legal_given_pseudo(list.moves[i], board)) list.moves[kept++] = list.moves[i];
  list.count = kept;
}

int movegen_legal_count(const board_state_t& board) {
  move_list_t list;
  list.count = 0;
  movegen_legal(list, board);
  return list.count;
}

void movegen_quiet_checks(move_list_t& list, const board_state_t& board) {
  int me = board.side_to_move;
  int king = board_king_square(board, me ^ 1);
  const int* squares = board.squares;
  int pstep = pawn_step[me];

  // Own pieces standing between an own slider and the opponent king, with the line step.
  int candidates[16];
  int candidate_steps[16];
  int candidate_count = 0;
  for (const int* p = board.piece_list[me] + 1; *p != 0; ++p) {
    int code = squares[*p];
    if ((code & delta_piece_mask[king - *p + DELTA_OFFSET] & FLAG_SLIDER) == 0) continue;
    int step = delta_step_line[king - *p + DELTA_OFFSET];
    int s = ray_blocker(board, *p, step);
    if (s == king || !piece_has_colour(squares[s], me)) continue;
    if (ray_blocker(board, s, step) != king) continue;
    candidates[candidate_count] = s;
    candidate_steps[candidate_count++] = step;
  }
  auto candidate_step = [&](int sq) {
    for (int i = 0; i < candidate_count; ++i)
      if (candidates[i] == sq) return candidate_steps[i];
    return 0;
  };

  for (int i = 0; i < candidate_count; ++i) {
    int from = candidates[i];
    int line = candidate_steps[i];
    int code = squares[from];
    if (piece_is_pawn(code)) {
      int to = from + pstep;
      if (square_relative_rank(from, me) == 10 || squares[to] != PIECE_EMPTY) continue;
      if (delta_step_line[king - to + DELTA_OFFSET] == line) continue;
      add(list, move_encode(from, to));
      if (square_relative_rank(from, me) == 5 && squares[to + pstep] == PIECE_EMPTY)
        add(list, move_encode(from, to + pstep));
    } else if (piece_is_slider(code)) {
      for (const int* s = piece_steps[code]; *s != 0; ++s)
        for (int to = from + *s; squares[to] == PIECE_EMPTY; to += *s) add(list, move_encode(from, to));
    } else {
      for (const int* s = piece_steps[code]; *s != 0; ++s) {
        int to = from + *s;
        if (squares[to] == PIECE_EMPTY && delta_step_line[king - to + DELTA_OFFSET] != line)
          add(list, move_encode(from, to));
      }
    }
  }

  for (const int* p = board.piece_list[me] + 1; *p != 0; ++p) {
    int from = *p;
    if (candidate_step(from) != 0) continue;
    int code = squares[from];
    if (piece_is_slider(code)) {
      // Only the empty squares it reaches that lie on one of its lines to the
      // king can give check; they are tried in the order of the walk.
      const uint64_t lines = slider_lines_to(code, king);
      for (const int* s = piece_steps[code]; *s != 0; ++s) {
        uint64_t targets = ray_reach(board, from, *s) & ~board.occupied & lines;
        while (targets != 0) {
          int to = take_nearest(targets, *s);
          if (piece_attacks_square(board, code, to, king)) add(list, move_encode(from, to));
        }
      }
    } else {
      for (const int* s = piece_steps[code]; *s != 0; ++s) {
        int to = from + *s;
        if (squares[to] == PIECE_EMPTY && (code & delta_piece_mask[king - to + DELTA_OFFSET]))
          add(list, move_encode(from, to));
      }
    }
  }

  int own_pawn = pawn_code[me];
  for (int to : {king - pstep + 1, king - pstep - 1}) {
    if (squares[to] != PIECE_EMPTY) continue;
    int from = to - pstep;
    if (squares[from] == own_pawn) {
      if (candidate_step(from) == 0) add(list, move_encode(from, to));
    } else if (squares[from] == PIECE_EMPTY && squares[from - pstep] == own_pawn &&
               square_relative_rank(from - pstep, me) == 5 && candidate_step(from - pstep) == 0) {
      add(list, move_encode(from - pstep, to));
    }
  }
}
