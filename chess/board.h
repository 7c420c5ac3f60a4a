#pragma once
// The position record. A plain value without pointers: the search copies it
// whole into its stack entries, so its layout is fixed.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "chess/move.h"
#include "chess/piece.h"
#include "chess/square.h"

enum : int { KEY_STACK_SIZE = 4096 };

// A half-move clock above 100 already means a draw by rule; clocks read from a
// FEN or carried through a long game are kept at this value so that the key
// stack, which holds one key per counted ply, always has room.
enum : int { FIFTY_COUNT_LIMIT = 101 };

enum : int {
  CASTLE_WHITE_KING = 1, CASTLE_WHITE_QUEEN = 2, CASTLE_BLACK_KING = 4, CASTLE_BLACK_QUEEN = 8,
};

struct board_state_t {
  int32_t material_sum[2];       // pawns and pieces except the king, per colour
  int32_t squares[256];          // piece code per cell (0 empty, 16 border)
  int32_t list_index[256];       // index in the owner's piece or pawn list; -1 if empty
  int32_t piece_list[2][32];     // non-pawn pieces, king first, terminated by 0
  int32_t piece_count[2];        // king included
  int32_t pawn_list[2][16];      // terminated by 0
  int32_t pawn_count[2];
  int32_t total_pieces;          // pieces and pawns of both colours
  int32_t piece_tally[16];       // per 12-index; 12..15 stay 0
  int32_t pawn_file_bits[2][16]; // per file index (sq & 15): bit (relative rank index - 4)
  int32_t side_to_move;
  int32_t castle_flags;
  int32_t ep_target;             // 0 if none
  int32_t fifty_count;
  int32_t key_stack_top;
  int32_t capture_square;
  int32_t moved_piece;
  int32_t pst_opening;
  int32_t pst_endgame;
  uint64_t hash_key;
  uint64_t pawn_hash_key;
  uint64_t material_hash_key;
  uint64_t occupied;                   // bit i set when 0..63 square i holds a piece
  uint64_t key_stack[KEY_STACK_SIZE];  // keys of the positions before each move
};

static_assert(std::is_trivially_copyable_v<board_state_t>);
static_assert(std::is_standard_layout_v<board_state_t>);
static_assert(offsetof(board_state_t, squares) == 8);
static_assert(offsetof(board_state_t, side_to_move) == 663 * 4);
static_assert(offsetof(board_state_t, hash_key) == 672 * 4);
static_assert(offsetof(board_state_t, occupied) == 672 * 4 + 24);
static_assert(offsetof(board_state_t, key_stack) == 672 * 4 + 32);
static_assert(sizeof(board_state_t) == 672 * 4 + 32 + 8 * KEY_STACK_SIZE);

inline constexpr const char START_FEN[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

constexpr int board_king_square(const board_state_t& board, int colour) {
  return board.piece_list[colour][0];
}

// Fills the board from FEN text. Malformed text ends the process through
// my_fatal with the 0-based index of the rejected character.
void board_from_fen(board_state_t& board, const char* text);

// Rebuilds every derived field from squares, side_to_move, castle_flags,
// ep_target and fifty_count; an illegal position ends the process.
void board_init_list(board_state_t& board);
