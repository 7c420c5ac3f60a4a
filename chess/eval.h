#pragma once
// Static evaluation: a tapered sum of material, piece-square values, patterns,
// piece activity, king safety and passed pawns, mixed by the game phase and
// scaled by the draw multipliers. Weights come from the options as 8.8 values.
#include "chess/board.h"

struct eval_parameters_t {
  int weight_piece_activity;  // 256 = 100 %
  int weight_king_safety;
  int weight_passed_pawns;
  bool lazy_eval;
  int lazy_margin;            // centipawns
  int king_safety_margin;     // kept with the others; no term reads it
  bool king_safety_shortcut;  // an intact pawn shield skips the shelter term
};
extern eval_parameters_t eval_parameters;

// Builds the fixed tables (king-zone deltas, mobility credits).
void eval_init();
// Reads the evaluation's own options into eval_parameters.
void eval_parameter();
// Rebuilds pst_table from "Piece Square Activity", "King Safety" and "Pawn Structure".
void pst_init();
// Every option-dependent evaluation parameter: pawn, material, piece-square
// tables and the evaluation's own, in that order.
void eval_configure();

// Value in centipawns from the side to move's view, within -29744..29744
// except for the lazy return, which comes back as soon as the cheap value is
// outside alpha..beta by the lazy margin.
int eval_position(const board_state_t& board, int alpha, int beta);
