#pragma once
// Standard algebraic notation, as game scores and test suites write moves:
// "Nf3", "exd5", "Raxe1", "e8=Q+", "O-O-O".
#include <string_view>

#include "chess/board.h"
#include "chess/move.h"

// The legal move the text names, or MOVE_NONE when it names no legal move,
// more than one, or is not notation at all. Accepted beyond the strict form:
// trailing check and annotation marks ("+", "#", "!", "?" in any mix),
// castling with the digit zero ("0-0", "0-0-0"), a promotion with or without
// "=" and with a lower-case piece letter, ":" or "-" between origin and
// destination, and origin squares that are not needed. A pawn that captures
// is named by its file ("exd5"); a bare "d5" is a move along the d-file.
move_t move_from_san(std::string_view text, const board_state_t& board);

// The notation of a legal move: piece letter, the least of the origin that
// tells it from the other moves of the same kind of piece to the same square
// (file, else rank, else both), "x" for a capture, the destination, "=Q" and
// the like for a promotion, "+" for check and "#" for mate. Writes at most 8
// bytes.
char* move_to_san(int move, const board_state_t& board, char* text);
