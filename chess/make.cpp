#include "chess/make.h"

#include <cstring>

#include "chess/keys.h"
#include "chess/legality.h"
#include "chess/pst.h"
#include "chess/rays.h"

namespace {

// The list (piece or pawn) that holds code for its colour.
inline int* list_of(board_state_t& board, int code, int colour) {
  return piece_is_pawn(code) ? board.pawn_list[colour] : board.piece_list[colour];
}
inline int32_t& count_of(board_state_t& board, int code, int colour) {
  return piece_is_pawn(code) ? board.pawn_count[colour] : board.piece_count[colour];
}

// Takes the piece on sq off the board with every counter, sum and key (the
// keys and piece-square sums only with Keys: unmake restores those from its
// record). Later list entries shift down so the lists keep their order.
// Returns its list index.
template <bool Keys = true>
inline int piece_remove(board_state_t& board, int sq, int code) {
  int colour = piece_colour(code);
  int index12 = piece_index12[code];
  int sq64 = square_to_sq64[sq];
  int* list = list_of(board, code, colour);
  int32_t& count = count_of(board, code, colour);
  int index = board.list_index[sq];
  for (int i = index; i < count - 1; ++i) {
    list[i] = list[i + 1];
    board.list_index[list[i]] = i;
  }
  --count;
  list[count] = 0;
  board.list_index[sq] = -1;
  board.squares[sq] = PIECE_EMPTY;
  board.occupied ^= square_bit(sq);
  if (piece_is_pawn(code)) board.pawn_file_bits[colour][sq & 15] &= ~(1 << (square_relative_rank(sq, colour) - 4));
  board.material_sum[colour] -= piece_value[code];
  --board.total_pieces;
  int remaining = --board.piece_tally[index12];
  if (Keys) {
    uint64_t key = key_piece(index12, sq);
    board.hash_key ^= key;
    if (piece_is_pawn(code)) board.pawn_hash_key ^= key;
    board.material_hash_key ^= key_material(index12, remaining);
    board.pst_opening -= pst_table[index12][sq64].opening;
    board.pst_endgame -= pst_table[index12][sq64].endgame;
  }
  return index;
}

// Puts code on sq at list position index, shifting later entries up (keys
// and piece-square sums only with Keys).
template <bool Keys = true>
inline void piece_insert(board_state_t& board, int sq, int code, int index) {
  int colour = piece_colour(code);
  int index12 = piece_index12[code];
  int sq64 = square_to_sq64[sq];
  int* list = list_of(board, code, colour);
  int32_t& count = count_of(board, code, colour);
  for (int i = count; i > index; --i) {
    list[i] = list[i - 1];
    board.list_index[list[i]] = i;
  }
  ++count;
  list[count] = 0;
  list[index] = sq;
  board.list_index[sq] = index;
  board.squares[sq] = code;
  board.occupied ^= square_bit(sq);
  if (piece_is_pawn(code)) board.pawn_file_bits[colour][sq & 15] |= 1 << (square_relative_rank(sq, colour) - 4);
  board.material_sum[colour] += piece_value[code];
  ++board.total_pieces;
  int n = board.piece_tally[index12]++;
  if (Keys) {
    uint64_t key = key_piece(index12, sq);
    board.hash_key ^= key;
    if (piece_is_pawn(code)) board.pawn_hash_key ^= key;
    board.material_hash_key ^= key_material(index12, n);
    board.pst_opening += pst_table[index12][sq64].opening;
    board.pst_endgame += pst_table[index12][sq64].endgame;
  }
}

// Moves code from one square to another: list entry, cells, sums and keys.
inline void piece_move(board_state_t& board, int from, int to, int code) {
  int index12 = piece_index12[code];
  board.squares[from] = PIECE_EMPTY;
  board.squares[to] = code;
  board.occupied ^= square_bit(from) | square_bit(to);
  int index = board.list_index[from];
  board.list_index[to] = index;
  board.list_index[from] = -1;
  int colour = piece_colour(code);
  uint64_t key = key_piece(index12, from) ^ key_piece(index12, to);
  board.hash_key ^= key;
  if (piece_is_pawn(code)) {
    board.pawn_list[colour][index] = to;
    board.pawn_file_bits[colour][from & 15] &= ~(1 << (square_relative_rank(from, colour) - 4));
    board.pawn_file_bits[colour][to & 15] |= 1 << (square_relative_rank(to, colour) - 4);
    board.pawn_hash_key ^= key;
  } else {
    board.piece_list[colour][index] = to;
  }
  const pst_pair_t& a = pst_table[index12][square_to_sq64[from]];
  const pst_pair_t& b = pst_table[index12][square_to_sq64[to]];
  board.pst_opening += b.opening - a.opening;
  board.pst_endgame += b.endgame - a.endgame;
}

// Lists, cells and file bits only: unmake restores sums and keys from the record.
inline void piece_move_back(board_state_t& board, int from, int to, int code) {
  board.squares[to] = PIECE_EMPTY;
  board.squares[from] = code;
  board.occupied ^= square_bit(from) | square_bit(to);
  int index = board.list_index[to];
  board.list_index[from] = index;
  board.list_index[to] = -1;
  int colour = piece_colour(code);
  if (piece_is_pawn(code)) {
    board.pawn_list[colour][index] = from;
    board.pawn_file_bits[colour][to & 15] &= ~(1 << (square_relative_rank(to, colour) - 4));
    board.pawn_file_bits[colour][from & 15] |= 1 << (square_relative_rank(from, colour) - 4);
  } else {
    board.piece_list[colour][index] = from;
  }
}

// Rook squares of a castling move by the king's destination.
inline void castle_rook_squares(int king_to, int& rook_from, int& rook_to) {
  if (king_to > (king_to & 0xF0) + 8) {  // g-file: king side
    rook_from = king_to + 1;
    rook_to = king_to - 1;
  } else {
    rook_from = king_to - 2;
    rook_to = king_to + 1;
  }
}

}  // namespace

void move_make(board_state_t& board, int move, undo_record_t& undo) {
  int from = move_from(move);
  int to = move_to(move);
  int piece = board.squares[from];
  int me = board.side_to_move;
  int opp = me ^ 1;
  int kind = move_kind(move);

  undo.captured = false;
  undo.saved_side = me;
  undo.saved_castle = board.castle_flags;
  undo.saved_ep = board.ep_target;
  undo.saved_fifty = board.fifty_count;
  undo.saved_capture_square = board.capture_square;
  undo.saved_moved_piece = board.moved_piece;
  undo.saved_pst_opening = board.pst_opening;
  undo.saved_pst_endgame = board.pst_endgame;
  undo.saved_hash_key = board.hash_key;
  undo.saved_pawn_key = board.pawn_hash_key;
  undo.saved_material_key = board.material_hash_key;

  board.moved_piece = piece;
  board.key_stack[board.key_stack_top++] = board.hash_key;

  board.side_to_move = opp;
  int castle = board.castle_flags & castle_masks[from] & castle_masks[to];
  board.hash_key ^= castle_keys[board.castle_flags ^ castle] ^ polyglot_random[RANDOM_TURN];
  board.castle_flags = castle;
  if (board.ep_target != 0) {
    board.hash_key ^= key_en_passant(board.ep_target);
    board.ep_target = 0;
  }
  board.fifty_count = piece_is_pawn(piece) ? 0 : board.fifty_count + 1;
  board.capture_square = 0;

  int victim_sq = kind == MOVE_KIND_EN_PASSANT ? to ^ 16 : to;
  int victim = board.squares[victim_sq];
  if (victim != PIECE_EMPTY) {
    undo.captured = true;
    undo.capture_sq = victim_sq;
    undo.capture_code = victim;
    undo.capture_list_index = piece_remove(board, victim_sq, victim);
    board.capture_square = to;
    board.fifty_count = 0;
  }

  if (kind == MOVE_KIND_PROMOTION) {
    undo.mover_list_index = piece_remove(board, from, piece);
    int code = promotion_flags[move_promotion_bits(move)] | colour_flag(me);
    const int* list = board.piece_list[me];
    int index = 0;
    while (list[index] != 0 && board.squares[list[index]] >= code) ++index;
    piece_insert(board, to, code, index);
    return;
  }

  piece_move(board, from, to, piece);
  if (kind == MOVE_KIND_CASTLE) {
    int rook_from, rook_to;
    castle_rook_squares(to, rook_from, rook_to);
    piece_move(board, rook_from, rook_to, board.squares[rook_from]);
  } else if (piece_is_pawn(piece) && (to - from == 32 || from - to == 32)) {
    // Only an en-passant square that a pawn can use enters the key.
    int opp_pawn = pawn_code[opp];
    if (board.squares[to - 1] == opp_pawn || board.squares[to + 1] == opp_pawn) {
      board.ep_target = (from + to) / 2;
      board.hash_key ^= key_en_passant(board.ep_target);
    }
  }
}

uint64_t move_key_after(const board_state_t& board, int move) {
  const int from = move_from(move);
  const int to = move_to(move);
  const int piece = board.squares[from];
  const int castle = board.castle_flags & castle_masks[from] & castle_masks[to];
  uint64_t key = board.hash_key ^ castle_keys[board.castle_flags ^ castle] ^ polyglot_random[RANDOM_TURN];
  if (board.ep_target != 0) key ^= key_en_passant(board.ep_target);
  const int index12 = piece_index12[piece];
  if (index12 < 0) return key;  // an unchecked candidate (a killer) may name an empty square
  key ^= key_piece(index12, from) ^ key_piece(index12, to);
  const int victim = board.squares[to];
  if (victim != PIECE_EMPTY) key ^= key_piece(piece_index12[victim], to);
  return key;
}

uint64_t null_key_after(const board_state_t& board) {
  uint64_t key = board.hash_key ^ polyglot_random[RANDOM_TURN];
  if (board.ep_target != 0) key ^= key_en_passant(board.ep_target);
  return key;
}

void move_unmake(board_state_t& board, int move, const undo_record_t& undo) {
  int from = move_from(move);
  int to = move_to(move);
  int kind = move_kind(move);
  int me = undo.saved_side;

  if (kind == MOVE_KIND_PROMOTION) {
    int code = board.squares[to];
    piece_remove<false>(board, to, code);
    piece_insert<false>(board, from, pawn_code[me], undo.mover_list_index);
  } else {
    if (kind == MOVE_KIND_CASTLE) {
      int rook_from, rook_to;
      castle_rook_squares(to, rook_from, rook_to);
      piece_move_back(board, rook_from, rook_to, board.squares[rook_to]);
    }
    piece_move_back(board, from, to, board.squares[to]);
  }
  if (undo.captured) piece_insert<false>(board, undo.capture_sq, undo.capture_code, undo.capture_list_index);

  board.side_to_move = me;
  board.castle_flags = undo.saved_castle;
  board.ep_target = undo.saved_ep;
  board.fifty_count = undo.saved_fifty;
  board.capture_square = undo.saved_capture_square;
  board.moved_piece = undo.saved_moved_piece;
  board.pst_opening = undo.saved_pst_opening;
  board.pst_endgame = undo.saved_pst_endgame;
  board.hash_key = undo.saved_hash_key;
  board.pawn_hash_key = undo.saved_pawn_key;
  board.material_hash_key = undo.saved_material_key;
  // Slots above the top stay zero, so unmake restores the record bit for bit.
  board.key_stack[--board.key_stack_top] = 0;
}

void null_make(board_state_t& board, undo_record_t& undo) {
  undo.saved_side = board.side_to_move;
  undo.saved_ep = board.ep_target;
  undo.saved_fifty = board.fifty_count;
  undo.saved_capture_square = board.capture_square;
  undo.saved_moved_piece = board.moved_piece;
  undo.saved_hash_key = board.hash_key;
  board.key_stack[board.key_stack_top++] = board.hash_key;
  board.side_to_move ^= 1;
  board.hash_key = null_key_after(board);
  board.ep_target = 0;
  board.fifty_count = 0;  // a null move ends the look-back for repetitions
  board.capture_square = 0;
  board.moved_piece = 0;
}

void null_unmake(board_state_t& board, const undo_record_t& undo) {
  board.side_to_move = undo.saved_side;
  board.ep_target = undo.saved_ep;
  board.fifty_count = undo.saved_fifty;
  board.capture_square = undo.saved_capture_square;
  board.moved_piece = undo.saved_moved_piece;
  board.hash_key = undo.saved_hash_key;
  board.key_stack[--board.key_stack_top] = 0;
}

void board_play_move(board_state_t& board, int move) {
  undo_record_t undo;
  move_make(board, move, undo);
  if (board.fifty_count > FIFTY_COUNT_LIMIT) board.fifty_count = FIFTY_COUNT_LIMIT;
  int keep = board.fifty_count;
  int drop = board.key_stack_top - keep;
  if (drop > 0) {
    std::memmove(board.key_stack, board.key_stack + drop, sizeof(board.key_stack[0]) * keep);
    std::memset(board.key_stack + keep, 0, sizeof(board.key_stack[0]) * drop);
    board.key_stack_top = keep;
  }
}

bool position_is_draw_by_rule(const board_state_t& board) {
  if (board.fifty_count >= 100) return board.fifty_count > 100 || !position_is_mate(board);
  if (board.fifty_count < 4) return false;
  for (int distance = 4; distance <= board.fifty_count; distance += 2)
    if (board.key_stack[board.key_stack_top - distance] == board.hash_key) return true;
  return false;
}
