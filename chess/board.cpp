#include "chess/board.h"

#include <cstring>

#include "base/fatal.h"
#include "base/log.h"
#include "chess/attack.h"
#include "chess/keys.h"
#include "chess/pst.h"

namespace {

// my_fatal may return while a shutdown is already running; the board is then
// left holding the start position so that no caller sees a half-built record.
void board_fail_safe(board_state_t& board) {
  static bool resetting = false;
  if (resetting) return;
  resetting = true;
  board_from_fen(board, START_FEN);
  resetting = false;
}

bool fen_bad(board_state_t& board, int pos) {
  my_fatal("board_from_fen(): bad FEN (pos=%d)\n", pos);
  board_fail_safe(board);
  return false;
}

bool position_illegal(board_state_t& board) {
  my_fatal("board_init_list(): illegal position\n");
  board_fail_safe(board);
  return false;
}

// Parses text into board; false after a failure has been reported.
bool parse_fen(board_state_t& board, const char* text) {
  for (int& cell : board.squares) cell = SQUARE_BORDER;
  for (int i = 0; i < 64; ++i) board.squares[sq64_to_square[i]] = PIECE_EMPTY;
  board.side_to_move = -1;
  board.castle_flags = 0;
  board.ep_target = 0;
  board.fifty_count = 0;

  int pos = 0;
  for (int rank = 7; rank >= 0; --rank) {
    int file = 0;
    while (file < 8) {
      char ch = text[pos];
      if (ch >= '1' && ch <= '8') {
        int empties = ch - '0';
        if (file + empties > 8) return fen_bad(board, pos);
        file += empties;
      } else {
        int code = piece_from_letter(ch);
        if (code == PIECE_EMPTY) return fen_bad(board, pos);
        board.squares[square_make(file, rank)] = code;
        ++file;
      }
      ++pos;
    }
    if (text[pos] != (rank > 0 ? '/' : ' ')) return fen_bad(board, pos);
    ++pos;
  }

  if (text[pos] == 'w') {
    board.side_to_move = WHITE;
  } else if (text[pos] == 'b') {
    board.side_to_move = BLACK;
  } else {
    return fen_bad(board, pos);
  }
  ++pos;
  if (text[pos] != ' ') return fen_bad(board, pos);
  ++pos;

  const int* sq = board.squares;
  if (text[pos] == '-') {
    ++pos;
  } else {
    // Letters in this order; a right counts only with king and rook at home.
    struct Right {
      char letter;
      int king_sq, king, rook_sq, rook, flag;
    };
    static constexpr Right rights[4] = {
        {'K', SQ_E1, WHITE_KING, SQ_H1, WHITE_ROOK, CASTLE_WHITE_KING},
        {'Q', SQ_E1, WHITE_KING, SQ_A1, WHITE_ROOK, CASTLE_WHITE_QUEEN},
        {'k', SQ_E8, BLACK_KING, SQ_H8, BLACK_ROOK, CASTLE_BLACK_KING},
        {'q', SQ_E8, BLACK_KING, SQ_A8, BLACK_ROOK, CASTLE_BLACK_QUEEN},
    };
    for (const Right& right : rights) {
      if (text[pos] != right.letter) continue;
      ++pos;
      if (sq[right.king_sq] == right.king && sq[right.rook_sq] == right.rook) board.castle_flags |= right.flag;
    }
  }
  if (text[pos] != ' ') return fen_bad(board, pos);
  ++pos;

  if (text[pos] == '-') {
    ++pos;
  } else {
    if (text[pos] < 'a' || text[pos] > 'h') return fen_bad(board, pos);
    int file = text[pos] - 'a';
    ++pos;
    if (text[pos] != (board.side_to_move == WHITE ? '6' : '3')) return fen_bad(board, pos);
    int ep = square_make(file, text[pos] - '1');
    ++pos;
    // Kept only when a pawn of the side to move can actually capture there.
    int me = board.side_to_move;
    int behind = ep ^ 16;
    if (sq[ep] == PIECE_EMPTY && sq[behind] == pawn_code[me ^ 1] &&
        (sq[behind - 1] == pawn_code[me] || sq[behind + 1] == pawn_code[me])) {
      board.ep_target = ep;
    }
  }

  if (text[pos] == ' ' && text[pos + 1] >= '0' && text[pos + 1] <= '9') {
    ++pos;
    int count = 0;
    for (; text[pos] >= '0' && text[pos] <= '9'; ++pos) {
      count = count * 10 + (text[pos] - '0');
      if (count > FIFTY_COUNT_LIMIT) count = FIFTY_COUNT_LIMIT;
    }
    board.fifty_count = count;
  }
  return true;
}

}  // namespace

void board_from_fen(board_state_t& board, const char* text) {
  if (parse_fen(board, text)) board_init_list(board);
}

void board_init_list(board_state_t& board) {
  for (int& index : board.list_index) index = -1;
  board.total_pieces = 0;
  for (int& tally : board.piece_tally) tally = 0;
  if (board.side_to_move != WHITE && board.side_to_move != BLACK) {
    position_illegal(board);
    return;
  }
  // The clock may have been set by a caller; the key stack holds one key per counted ply.
  if (board.fifty_count < 0) board.fifty_count = 0;
  if (board.fifty_count > FIFTY_COUNT_LIMIT) board.fifty_count = FIFTY_COUNT_LIMIT;

  for (int colour = WHITE; colour <= BLACK; ++colour) {
    board.material_sum[colour] = 0;
    int count = 0;
    for (int i = 0; i < 64; ++i) {
      int sq = sq64_to_square[i];
      int code = board.squares[sq];
      if (code == PIECE_EMPTY) continue;
      if (piece_index12[code] < 0) {
        position_illegal(board);
        return;
      }
      if (piece_is_pawn(code) || !piece_has_colour(code, colour)) continue;
      if (count >= 16) {
        position_illegal(board);
        return;
      }
      board.piece_list[colour][count] = sq;
      board.list_index[sq] = count++;
      ++board.total_pieces;
      ++board.piece_tally[piece_index12[code]];
      if (!piece_is_king(code)) board.material_sum[colour] += piece_value[code];
    }
    if (board.piece_tally[INDEX_WHITE_KING + colour] != 1) {
      position_illegal(board);
      return;
    }
    if (board.piece_tally[INDEX_WHITE_BISHOP] >= 10) log_console_warning("illegal position!\n");
    board.piece_list[colour][count] = 0;
    board.piece_count[colour] = count;

    // Stable insertion sort by descending order: king, queens, rooks, bishops, knights.
    int* list = board.piece_list[colour];
    for (int i = 1; i < count; ++i) {
      int sq = list[i];
      int order = piece_order[board.squares[sq]];
      int j = i;
      for (; j > 0 && piece_order[board.squares[list[j - 1]]] < order; --j) list[j] = list[j - 1];
      list[j] = sq;
    }
    for (int i = 0; i < count; ++i) board.list_index[list[i]] = i;

    for (int& bits : board.pawn_file_bits[colour]) bits = 0;
    int pawns = 0;
    for (int i = 0; i < 64; ++i) {
      int sq = sq64_to_square[i];
      if (board.squares[sq] != pawn_code[colour]) continue;
      if (pawns >= 8 || square_promotion_rank[sq]) {
        position_illegal(board);
        return;
      }
      board.pawn_list[colour][pawns] = sq;
      board.list_index[sq] = pawns++;
      ++board.total_pieces;
      ++board.piece_tally[piece_index12[pawn_code[colour]]];
      board.pawn_file_bits[colour][sq & 15] |= 1 << (square_relative_rank(sq, colour) - 4);
      board.material_sum[colour] += piece_value[pawn_code[colour]];
    }
    board.pawn_list[colour][pawns] = 0;
    board.pawn_count[colour] = pawns;
    if (count + pawns > 16) {
      position_illegal(board);
      return;
    }
  }

  board.capture_square = 0;
  board.moved_piece = 0;
  board.pst_opening = 0;
  board.pst_endgame = 0;
  board.occupied = 0;
  for (int i = 0; i < 64; ++i) {
    int code = board.squares[sq64_to_square[i]];
    if (code == PIECE_EMPTY) continue;
    board.occupied |= uint64_t{1} << i;
    board.pst_opening += pst_table[piece_index12[code]][i].opening;
    board.pst_endgame += pst_table[piece_index12[code]][i].endgame;
  }
  board.hash_key = key_compute_full(board);
  board.pawn_hash_key = key_compute_pawn(board);
  board.material_hash_key = key_compute_material(board);

  // The whole stack is cleared: slots above the top are kept zero by unmake.
  for (uint64_t& key : board.key_stack) key = 0;
  board.key_stack_top = board.fifty_count;

  // The side that has just moved must not have left its king attacked, and no
  // legal game gives more than two checks at once (check_info_t holds two).
  int me = board.side_to_move;
  if (square_is_attacked(board, board_king_square(board, me ^ 1), me) || checker_count_full(board) > 2) {
    position_illegal(board);
    return;
  }
}
