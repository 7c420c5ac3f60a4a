#pragma once
// Tests on single moves: legality, checks, and whether a move from another
// source (hash table, killer slot, book, GUI) can be played here.
#include "chess/attack.h"
#include "chess/board.h"
#include "chess/movegen.h"

// A pseudo-legal move of a side not in check (or an evasion) leaves its king safe.
bool move_is_legal_given_pseudo(int move, const board_state_t& board);
// Full test for any 16-bit value: the move is one of the legal moves here.
bool move_is_legal(const board_state_t& board, int move);
bool move_gives_check(int move, const board_state_t& board);
bool move_is_pseudo_for_hash(int move, const board_state_t& board);
bool move_is_pseudo_for_killer(int move, const board_state_t& board);
// Appends the move when it does not leave the mover's king attacked (make/test/unmake).
void move_list_add_if_legal(move_list_t& list, int move, const board_state_t& board);
bool position_is_mate(const board_state_t& board);
// Captures (destination occupied) or has bit 15 set (promotion, en passant).
bool move_is_noisy(int move, const board_state_t& board);
// A pawn reaching the mover's 7th or 8th rank, or capturing a queen or a pawn
// one step from promotion: exempt from pruning.
bool move_is_critical(int move, const board_state_t& board);
// A pawn move after which no pawn stands ahead on its file and no opponent pawn
// ahead on a neighbouring file.
bool move_creates_passer(int move, const board_state_t& board);
// Colour has no pawn, its king is in a corner, and every king step is blocked
// by its own pieces or attacked.
bool king_stuck_in_corner(const board_state_t& board, int colour);
