#pragma once
// Static evaluation: a tapered sum of material, piece-square values, patterns,
// piece activity, king safety and passed pawns, mixed by the game phase and
// scaled by the draw multipliers. Weights are 8.8 values (256 = 100 %) handed
// in by the caller.
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

// Every setting of the evaluation, its caches and its piece-square table.
struct eval_settings_t {
  int weight_material;        // material values and bonuses of the material record
  int weight_pawn_structure;  // the pawn record and the pawn piece-square table
  int weight_piece_square;    // piece-square tables of the pieces, king's endgame part
  int exchange_bonus;         // centipawns
  eval_parameters_t parameters;  // weight_king_safety also drives the king's opening part
};

// Builds the fixed tables (king-zone deltas, mobility credits).
void eval_init();
// Takes the evaluation's own parameters.
void eval_parameter(const eval_parameters_t& parameters);
// Rebuilds pst_table from the three weights.
void pst_init(int weight_pawn_structure, int weight_piece_square, int weight_king_safety);
// Every evaluation setting: pawn, material, piece-square tables and the
// evaluation's own, in that order.
void eval_configure(const eval_settings_t& settings);

// Value in centipawns from the side to move's view, within -29744..29744
// except for the lazy return, which comes back as soon as the cheap value is
// outside alpha..beta by the lazy margin.
int eval_position(const board_state_t& board, int alpha, int beta);
