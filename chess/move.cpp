#include "chess/move.h"

#include "chess/board.h"

char* move_to_text(int move, char* text) {
  if (move == MOVE_NULL) {
    text[0] = 'n'; text[1] = 'u'; text[2] = 'l'; text[3] = 'l'; text[4] = '\0';
    return text;
  }
  square_to_text(move_from(move), text);
  square_to_text(move_to(move), text + 2);
  if (move_is_promotion(move)) {
    text[4] = "nbrq"[move_promotion_bits(move)];
    text[5] = '\0';
  }
  return text;
}

namespace {
// Square from a file letter and a rank digit, or -1.
int square_from_chars(char file, char rank) {
  if (file < 'a' || file > 'h' || rank < '1' || rank > '8') return -1;
  return square_make(file - 'a', rank - '1');
}
}  // namespace

move_t move_from_text(const char* text, const board_state_t& board) {
  // Each character is checked before the next is read, so a short text stops at its end.
  if (text[0] == '\0' || text[1] == '\0') return MOVE_NONE;
  int from = square_from_chars(text[0], text[1]);
  if (from < 0 || text[2] == '\0' || text[3] == '\0') return MOVE_NONE;
  int to = square_from_chars(text[2], text[3]);
  if (to < 0) return MOVE_NONE;
  int flags = 0;
  char fifth = text[4];
  if (fifth != ' ' && fifth != '\0') {
    switch (fifth) {
      case 'b': flags = MOVE_PROMOTE_BISHOP; break;
      case 'n': flags = MOVE_PROMOTE_KNIGHT; break;
      case 'q': flags = MOVE_PROMOTE_QUEEN; break;
      case 'r': flags = MOVE_PROMOTE_ROOK; break;
      default: return MOVE_NONE;
    }
  }
  int piece = board.squares[from];
  if (piece_is_pawn(piece) && board.ep_target != 0 && to == board.ep_target) {
    flags = MOVE_KIND_EN_PASSANT;
  } else if (piece_is_king(piece) && (to == from + 2 || to == from - 2)) {
    flags = MOVE_KIND_CASTLE;
  }
  return move_encode(from, to, flags);
}
