#include "chess/attack.h"

bool square_is_attacked(const board_state_t& board, int sq, int colour) {
  int pawn_from = sq - pawn_step[colour];
  if (board.squares[pawn_from + 1] == pawn_code[colour] || board.squares[pawn_from - 1] == pawn_code[colour])
    return true;
  for (const int* p = board.piece_list[colour]; *p != 0; ++p)
    if (piece_attacks_square(board, board.squares[*p], *p, sq)) return true;
  return false;
}

bool square_is_pinned(const board_state_t& board, int sq, int colour) {
  int king = board_king_square(board, colour);
  int step = delta_step_line[king - sq + DELTA_OFFSET];
  if (step == 0) return false;
  if (!line_is_clear(board, sq, king)) return false;
  int code = board.squares[ray_blocker(board, sq, -step)];
  return piece_has_colour(code, colour ^ 1) && (code & step_slider_mask[step + 17]) != 0;
}

bool side_is_in_check(const board_state_t& board) {
  int me = board.side_to_move;
  return square_is_attacked(board, board_king_square(board, me), me ^ 1);
}

void check_info_compute(check_info_t& check, const board_state_t& board) {
  int me = board.side_to_move;
  int opp = me ^ 1;
  int king = board_king_square(board, me);
  int count = 0;
  int pawn_from = king - pawn_step[opp];
  for (int side : {+1, -1}) {
    if (board.squares[pawn_from + side] == pawn_code[opp]) {
      check.checker_squares[count] = pawn_from + side;
      check.checker_steps[count] = 0;
      ++count;
    }
  }
  for (const int* p = board.piece_list[opp] + 1; *p != 0 && count < 2; ++p) {
    int code = board.squares[*p];
    if (!piece_attacks_square(board, code, *p, king)) continue;
    check.checker_squares[count] = *p;
    check.checker_steps[count] = piece_is_slider(code) ? -delta_step_line[king - *p + DELTA_OFFSET] : 0;
    ++count;
  }
  check.checker_count = count;
  check.checker_squares[count] = 0;
  check.checker_steps[count] = 0;
}

int checker_count_full(const board_state_t& board) {
  int me = board.side_to_move;
  int opp = me ^ 1;
  int king = board_king_square(board, me);
  int count = 0;
  int pawn_from = king - pawn_step[opp];
  if (board.squares[pawn_from + 1] == pawn_code[opp]) ++count;
  if (board.squares[pawn_from - 1] == pawn_code[opp]) ++count;
  for (const int* p = board.piece_list[opp]; *p != 0; ++p)
    if (piece_attacks_square(board, board.squares[*p], *p, king)) ++count;
  return count;
}
