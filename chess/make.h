#pragma once
// Make and unmake with incremental lists, counters, piece-square sums and keys;
// the null move; draws by rule.
#include <cstdint>

#include "chess/board.h"

struct undo_record_t {
  bool captured;
  int32_t capture_sq;          // the destination, or the pawn's square for en passant
  int32_t capture_code;
  int32_t capture_list_index;  // index in its list before removal
  int32_t mover_list_index;    // list index of a promoting pawn before removal
  int32_t saved_side;
  int32_t saved_castle;
  int32_t saved_ep;
  int32_t saved_fifty;
  int32_t saved_capture_square;
  int32_t saved_moved_piece;
  int32_t saved_pst_opening;
  int32_t saved_pst_endgame;
  uint64_t saved_hash_key;
  uint64_t saved_pawn_key;
  uint64_t saved_material_key;
};

// Plays a pseudo-legal move; does not test legality.
void move_make(board_state_t& board, int move, undo_record_t& undo);
// The key the position would have after `move`, without making it: exact for
// ordinary moves and captures, approximate for castling, promotion and en
// passant and for a double step that opens an en-passant capture (good enough
// to fetch a table cluster ahead of time, never to look one up).
uint64_t move_key_after(const board_state_t& board, int move);
// The key after a null move (exact).
uint64_t null_key_after(const board_state_t& board);
// Restores the board exactly; pairs with the matching move_make, last in first out.
void move_unmake(board_state_t& board, int move, const undo_record_t& undo);
void null_make(board_state_t& board, undo_record_t& undo);
void null_unmake(board_state_t& board, const undo_record_t& undo);

// Plays a move of the game record (never unmade). Repetition looks back at
// most fifty_count plies, so the keys older than that are dropped and the
// clock is held at FIFTY_COUNT_LIMIT: a game of any length fits the key stack
// and leaves room for the search.
void board_play_move(board_state_t& board, int move);

// Fifty-move rule or repetition.
bool position_is_draw_by_rule(const board_state_t& board);
