#include "chess/keys.h"

uint64_t key_compute_full(const board_state_t& board) {
  uint64_t key = 0;
  for (int i = 0; i < 64; ++i) {
    int sq = sq64_to_square[i];
    int code = board.squares[sq];
    if (code != PIECE_EMPTY) key ^= key_piece(piece_index12[code], sq);
  }
  key ^= castle_keys[board.castle_flags & 15];
  if (board.ep_target != 0) key ^= key_en_passant(board.ep_target);
  if (board.side_to_move == WHITE) key ^= polyglot_random[RANDOM_TURN];
  return key;
}

uint64_t key_compute_pawn(const board_state_t& board) {
  uint64_t key = 0;
  for (int colour = WHITE; colour <= BLACK; ++colour)
    for (const int* p = board.pawn_list[colour]; *p != 0; ++p) key ^= key_piece(piece_index12[pawn_code[colour]], *p);
  return key;
}

uint64_t key_compute_material(const board_state_t& board) {
  uint64_t key = 0;
  for (int index = 0; index < 12; ++index)
    for (int n = 0; n < board.piece_tally[index]; ++n) key ^= key_material(index, n);
  return key;
}
