#include "chess/legality.h"

#include "chess/make.h"

namespace {

// The board is the caller's and is restored before return; the temporary
// changes let single-move tests reuse the attack code.
inline board_state_t& mutable_board(const board_state_t& board) { return const_cast<board_state_t&>(board); }

// Makes the move, asks whether the mover's king is attacked, unmakes it.
bool leaves_king_attacked(int move, const board_state_t& board) {
  board_state_t& b = mutable_board(board);
  int me = board.side_to_move;
  undo_record_t undo;
  move_make(b, move, undo);
  bool attacked = square_is_attacked(b, board_king_square(b, me), me ^ 1);
  move_unmake(b, move, undo);
  return attacked;
}

bool gives_check_by_making(int move, const board_state_t& board) {
  board_state_t& b = mutable_board(board);
  undo_record_t undo;
  move_make(b, move, undo);
  bool check = side_is_in_check(b);
  move_unmake(b, move, undo);
  return check;
}

bool list_contains(const move_list_t& list, int move) {
  for (int i = 0; i < list.count; ++i)
    if (list.moves[i] == move) return true;
  return false;
}

// Pawn pushes and diagonal captures as the side to move could play them.
bool pawn_move_is_pseudo(int from, int to, const board_state_t& board, bool allow_capture) {
  int me = board.side_to_move;
  int step = pawn_step[me];
  const int* squares = board.squares;
  if (square_promotion_rank[to]) return false;
  if (to == from + step) return squares[to] == PIECE_EMPTY;
  if (to == from + 2 * step)
    return square_relative_rank(from, me) == 5 && squares[from + step] == PIECE_EMPTY && squares[to] == PIECE_EMPTY;
  if (allow_capture && (to == from + step - 1 || to == from + step + 1))
    return piece_has_colour(squares[to], me ^ 1);
  return false;
}

}  // namespace

bool move_is_legal_given_pseudo(int move, const board_state_t& board) {
  int me = board.side_to_move;
  int from = move_from(move);
  if (move_is_en_passant(move)) return !leaves_king_attacked(move, board);
  int king = board_king_square(board, me);
  int to = move_to(move);
  if (from == king) return !square_is_attacked(board, to, me ^ 1);
  return !square_is_pinned(board, from, me) ||
         delta_step_line[king - to + DELTA_OFFSET] == delta_step_line[king - from + DELTA_OFFSET];
}

bool move_is_legal(const board_state_t& board, int move) {
  if (!move_is_valid(move)) return false;
  move_list_t list;
  list.count = 0;
  movegen_legal(list, board);
  return list_contains(list, move);
}

bool move_gives_check(int move, const board_state_t& board) {
  if (move_kind(move) != MOVE_KIND_NORMAL) return gives_check_by_making(move, board);
  int me = board.side_to_move;
  int king = board_king_square(board, me ^ 1);
  int from = move_from(move);
  int to = move_to(move);
  int code = board.squares[from];
  if (piece_attacks_square(board, code, to, king)) return true;
  // Discovered: the mover leaves the line between an own slider and the king.
  int step = delta_step_line[king - from + DELTA_OFFSET];
  if (step == 0 || delta_step_line[king - to + DELTA_OFFSET] == step) return false;
  if (!line_is_clear(board, from, king)) return false;
  int behind = board.squares[ray_blocker(board, from, -step)];
  return piece_has_colour(behind, me) && (behind & step_slider_mask[step + 17]) != 0;
}

bool move_is_pseudo_for_hash(int move, const board_state_t& board) {
  if (!move_is_valid(move)) return false;
  if (move_kind(move) != MOVE_KIND_NORMAL) {
    move_list_t list;
    list.count = 0;
    movegen_all(list, board);
    return list_contains(list, move);
  }
  if (move & 0x3000) return false;  // promotion bits on a normal move: no generator makes it
  int me = board.side_to_move;
  int from = move_from(move);
  int to = move_to(move);
  int code = board.squares[from];
  if (!piece_has_colour(code, me) || piece_has_colour(board.squares[to], me)) return false;
  if (piece_is_pawn(code)) return pawn_move_is_pseudo(from, to, board, true);
  return piece_attacks_square(board, code, from, to);
}

bool move_is_pseudo_for_killer(int move, const board_state_t& board) {
  if (!move_is_valid(move)) return false;
  int kind = move_kind(move);
  if (kind == MOVE_KIND_CASTLE) {
    move_list_t list;
    list.count = 0;
    movegen_all(list, board);
    return list_contains(list, move);
  }
  if (kind != MOVE_KIND_NORMAL || (move & 0x3000)) return false;
  int me = board.side_to_move;
  int from = move_from(move);
  int to = move_to(move);
  int code = board.squares[from];
  if (!piece_has_colour(code, me) || board.squares[to] != PIECE_EMPTY) return false;
  if (piece_is_pawn(code)) return pawn_move_is_pseudo(from, to, board, false);
  return piece_attacks_square(board, code, from, to);
}

void move_list_add_if_legal(move_list_t& list, int move, const board_state_t& board) {
  if (!leaves_king_attacked(move, board)) list.moves[list.count++] = static_cast<move_t>(move);
}

bool position_is_mate(const board_state_t& board) {
  check_info_t check;
  check_info_compute(check, board);
  if (check.checker_count == 0) return false;
  move_list_t list;
  list.count = 0;
  return !movegen_evasions(list, board, check, true, true);
}

bool move_is_noisy(int move, const board_state_t& board) {
  return board.squares[move_to(move)] != PIECE_EMPTY || (move & 0x8000) != 0;
}

bool move_is_critical(int move, const board_state_t& board) {
  int me = board.side_to_move;
  int from = move_from(move);
  int to = move_to(move);
  if (piece_is_pawn(board.squares[from]) && square_relative_rank(to, me) >= 10) return true;
  int victim_sq = move_is_en_passant(move) ? to ^ 16 : to;
  int victim = board.squares[victim_sq];
  if ((victim & ~3) == FLAG_QUEEN) return true;
  return piece_is_pawn(victim) && square_relative_rank(victim_sq, me) <= 5;
}

bool move_creates_passer(int move, const board_state_t& board) {
  int me = board.side_to_move;
  int from = move_from(move);
  if (!piece_is_pawn(board.squares[from])) return false;
  int to = move_to(move);
  int step = pawn_step[me];
  int opp_pawn = pawn_code[me ^ 1];
  const int* squares = board.squares;
  for (int s = to + step; square_is_on_board(s); s += step) {
    if (piece_is_pawn(squares[s])) return false;
    if (squares[s - 1] == opp_pawn || squares[s + 1] == opp_pawn) return false;
  }
  return true;
}

bool king_stuck_in_corner(const board_state_t& board, int colour) {
  if (board.pawn_count[colour] != 0) return false;
  int king = board_king_square(board, colour);
  if (king != SQ_A1 && king != SQ_H1 && king != SQ_A8 && king != SQ_H8) return false;
  int opp = colour ^ 1;
  for (const int* s = king_steps; *s != 0; ++s) {
    int to = king + *s;
    int target = board.squares[to];
    if (target != PIECE_EMPTY && !piece_has_colour(target, opp)) continue;
    if (!square_is_attacked(board, to, opp)) return false;
  }
  return true;
}
