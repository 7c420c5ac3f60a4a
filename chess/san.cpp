#include "chess/san.h"

#include <cctype>

#include "chess/attack.h"
#include "chess/make.h"
#include "chess/movegen.h"
#include "chess/piece.h"

namespace {

constexpr std::string_view kPromotionLetters = "NBRQ";  // by promotion bits

// 'P', 'N', 'B', 'R', 'Q' or 'K' for a piece of either colour.
char type_letter(int code) { return static_cast<char>(std::toupper(static_cast<unsigned char>(piece_letter(code)))); }

bool is_file(char c) { return c >= 'a' && c <= 'h'; }
bool is_rank(char c) { return c >= '1' && c <= '8'; }

bool is_capture(int move, const board_state_t& board) {
  return move_is_en_passant(move) || board.squares[move_to(move)] != PIECE_EMPTY;
}

// What a text asks for, with -1 for the parts it leaves open.
struct san_request_t {
  char piece = 'P';
  int from_file = -1;
  int from_rank = -1;
  int to_file = -1;
  int to_rank = -1;
  int promotion = -1;  // promotion bits
};

// Splits the text (without its trailing marks) into its parts; false when
// it is not notation.
bool parse_request(std::string_view text, san_request_t& request) {
  if (!text.empty() && std::string_view("KQRBN").find(text.front()) != std::string_view::npos) {
    request.piece = text.front();
    text.remove_prefix(1);
  }
  // After the destination only a promotion piece may follow, "=" before it optional.
  if (text.size() >= 3 && !is_rank(text.back())) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
    const std::size_t bits = kPromotionLetters.find(letter);
    if (bits == std::string_view::npos || request.piece != 'P') return false;
    request.promotion = static_cast<int>(bits);
    text.remove_suffix(1);
    if (text.back() == '=') text.remove_suffix(1);
  }
  if (text.size() < 2 || !is_file(text[text.size() - 2]) || !is_rank(text.back())) return false;
  request.to_file = text[text.size() - 2] - 'a';
  request.to_rank = text.back() - '1';
  text.remove_suffix(2);

  // Origin file, then origin rank, then one capture or move mark, each optional.
  std::size_t i = 0;
  if (i < text.size() && is_file(text[i])) request.from_file = text[i++] - 'a';
  if (i < text.size() && is_rank(text[i])) request.from_rank = text[i++] - '1';
  if (i < text.size() && (text[i] == 'x' || text[i] == ':' || text[i] == '-')) ++i;
  if (i != text.size()) return false;
  // A pawn leaves its file only by capturing, and a capture names the file.
  if (request.piece == 'P' && request.from_file < 0) request.from_file = request.to_file;
  return true;
}

bool matches(int move, const board_state_t& board, const san_request_t& request) {
  const int from = move_from(move);
  const int to = move_to(move);
  if (move_is_castle(move)) return false;  // written only as O-O or O-O-O
  if (type_letter(board.squares[from]) != request.piece) return false;
  if (square_file(to) != request.to_file || square_rank(to) != request.to_rank) return false;
  if (request.from_file >= 0 && square_file(from) != request.from_file) return false;
  if (request.from_rank >= 0 && square_rank(from) != request.from_rank) return false;
  if (move_is_promotion(move) != (request.promotion >= 0)) return false;
  return !move_is_promotion(move) || move_promotion_bits(move) == request.promotion;
}

move_t castle_move(const move_list_t& list, bool king_side) {
  for (int i = 0; i < list.count; ++i) {
    const int move = list.moves[i];
    if (move_is_castle(move) && (square_file(move_to(move)) == 6) == king_side) return list.moves[i];
  }
  return MOVE_NONE;
}

}  // namespace

move_t move_from_san(std::string_view text, const board_state_t& board) {
  while (!text.empty() && std::string_view("+#!?").find(text.back()) != std::string_view::npos) text.remove_suffix(1);
  move_list_t list;
  list.count = 0;
  movegen_legal(list, board);

  for (const char zero : {'O', '0'}) {
    const char king_side[] = {zero, '-', zero, '\0'};
    const char queen_side[] = {zero, '-', zero, '-', zero, '\0'};
    if (text == king_side) return castle_move(list, true);
    if (text == queen_side) return castle_move(list, false);
  }

  san_request_t request;
  if (!parse_request(text, request)) return MOVE_NONE;
  move_t found = MOVE_NONE;
  for (int i = 0; i < list.count; ++i) {
    if (!matches(list.moves[i], board, request)) continue;
    if (found != MOVE_NONE) return MOVE_NONE;  // ambiguous
    found = list.moves[i];
  }
  return found;
}

char* move_to_san(int move, const board_state_t& board, char* text) {
  char* out = text;
  const int from = move_from(move);
  const int to = move_to(move);
  const char piece = type_letter(board.squares[from]);
  if (move_is_castle(move)) {
    for (const char c : std::string_view(square_file(to) == 6 ? "O-O" : "O-O-O")) *out++ = c;
  } else {
    if (piece != 'P') {
      *out++ = piece;
      move_list_t list;
      list.count = 0;
      movegen_legal(list, board);
      bool rivals = false, same_file = false, same_rank = false;
      for (int i = 0; i < list.count; ++i) {
        const int other = list.moves[i];
        const int other_from = move_from(other);
        if (other_from == from || move_to(other) != to || board.squares[other_from] != board.squares[from]) continue;
        rivals = true;
        same_file = same_file || square_file(other_from) == square_file(from);
        same_rank = same_rank || square_rank(other_from) == square_rank(from);
      }
      if (rivals && (!same_file || same_rank)) *out++ = static_cast<char>('a' + square_file(from));
      if (rivals && same_file) *out++ = static_cast<char>('1' + square_rank(from));
    } else if (is_capture(move, board)) {
      *out++ = static_cast<char>('a' + square_file(from));
    }
    if (is_capture(move, board)) *out++ = 'x';
    out = square_to_text(to, out) + 2;
    if (move_is_promotion(move)) {
      *out++ = '=';
      *out++ = kPromotionLetters[move_promotion_bits(move)];
    }
  }
  board_state_t after = board;
  undo_record_t undo;
  move_make(after, move, undo);
  if (side_is_in_check(after)) *out++ = movegen_legal_count(after) == 0 ? '#' : '+';
  *out = '\0';
  return text;
}
