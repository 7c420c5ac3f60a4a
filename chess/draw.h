#pragma once
// Endgame draw knowledge: multipliers that scale down drawish evaluations,
// and the exact-draw test with which the search stops at a node.
#include "chess/board.h"
#include "chess/material.h"
#include "chess/pawn.h"

// Lowers mul[white] and mul[black] (sixteenths, starting from the material
// record) by the single-file pawn patterns and the endgame recognisers.
void draw_scale(const board_state_t& board, const material_record_t& material,
                const pawn_record_t& pawns, int mul[2]);

// True when the position is a certain draw for its material.
bool draw_recognised(const board_state_t& board);
