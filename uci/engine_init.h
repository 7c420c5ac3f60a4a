#pragma once
// The chess core's late initialisation and the application of the options
// that steer it.

#include "chess/eval.h"

// The evaluation settings as the options give them: "Material", "Pawn
// Structure", "Piece Square Activity", "Piece Activity", "King Safety" and
// "Passed Pawns" as weights, the "Vessa ..." switches and margins as given.
eval_settings_t eval_settings_from_options();

// Runs the late initialisation once per process (tables, book, evaluation).
void init_engine_once();
// Applies the option-dependent parameters after a change of options, in the
// order: pawn structure, material, book, piece-square tables, evaluation.
void apply_option_parameters();
// Start-up initialisation of the chess core's fixed tables and the bitbases.
void engine_startup();
// "ucinewgame": empties the transposition table.
void engine_clear_transposition_table();
// Loads the bitbases again from "Bitbases Path" and "Bitbases Cache Size";
// writes "EgbbProbe not Loaded!" to standard output on failure.
void engine_reload_bitbases();
