#pragma once
// Move generation. Generators append to the caller's fixed list at count and
// allocate nothing; no position has more than 256 pseudo-legal moves.
// Order: pieces in piece-list order (steps and rays in step-list order), then
// pawns (captures towards the a-file side first for white, then the push);
// promotions come as queen, knight, rook, bishop.
#include <cstdint>

#include "chess/attack.h"
#include "chess/board.h"

enum : int { MOVE_LIST_SIZE = 256 };

struct move_list_t {
  int32_t count;
  move_t moves[MOVE_LIST_SIZE];
  int16_t scores[MOVE_LIST_SIZE];
};

// All pseudo-legal moves: piece moves, then en passant, then castling.
void movegen_all(move_list_t& list, const board_state_t& board);
// Piece and pawn moves without en passant and castling (the first part of movegen_all).
void movegen_piece_moves(move_list_t& list, const board_state_t& board);
// Captures and every promotion (non-capturing ones included); no en passant.
void movegen_captures(move_list_t& list, const board_state_t& board);
void movegen_en_passant(move_list_t& list, const board_state_t& board);
// Non-capturing, non-promoting moves, then castling.
void movegen_quiet(move_list_t& list, const board_state_t& board);
void movegen_castling(move_list_t& list, const board_state_t& board);
// Non-capturing, non-promoting moves that give check.
void movegen_quiet_checks(move_list_t& list, const board_state_t& board);
// Check evasions. With legal, moves that leave the king attacked are left out;
// with stop, returns true at the first acceptable move and adds nothing.
bool movegen_evasions(move_list_t& list, const board_state_t& board, const check_info_t& check,
                      bool legal, bool stop);
// All legal moves.
void movegen_legal(move_list_t& list, const board_state_t& board);
// Number of legal moves, as movegen_legal would produce (for counting leaves).
int movegen_legal_count(const board_state_t& board);
