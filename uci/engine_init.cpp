#include "uci/engine_init.h"

#include <cstdio>

#include "base/log.h"
#include "base/option.h"
#include "base/protocol_flags.h"
#include "base/ybwc_manager.h"
#include "chess/book.h"
#include "chess/egbb.h"
#include "chess/eval.h"
#include "chess/history.h"
#include "chess/material.h"
#include "chess/pawn.h"
#include "chess/trans.h"
#include "sharing/table_memory.h"

namespace {
// Closes the book and opens it again from "BookFile" when "OwnBook" is on.
void book_reload() {
  book_close();
  if (option_get_bool("OwnBook")) book_open(option_get("BookFile"));
}
}  // namespace

eval_settings_t eval_settings_from_options() {
  eval_settings_t settings{};
  settings.weight_material = option_get_weight("Material");
  settings.weight_pawn_structure = option_get_weight("Pawn Structure");
  settings.weight_piece_square = option_get_weight("Piece Square Activity");
  settings.exchange_bonus = option_get_int("Vessa Exchange Bonus");
  eval_parameters_t& parameters = settings.parameters;
  parameters.weight_piece_activity = option_get_weight("Piece Activity");
  parameters.weight_king_safety = option_get_weight("King Safety");
  parameters.weight_passed_pawns = option_get_weight("Passed Pawns");
  parameters.lazy_eval = option_get_bool("Vessa Lazy Eval");
  parameters.lazy_margin = option_get_int("Vessa Lazy Eval Margin");
  parameters.king_safety_margin = option_get_int("Vessa King Safety Margin");
  parameters.king_safety_shortcut = option_get_bool("Vessa King Safety");
  return settings;
}

void engine_startup() {
  if (!egbb_load("c:/egbb/", egbb_cache_bytes(16))) QLOG(0, "EgbbProbe not Loaded!\n");
}

void init_engine_once() {
  if (EngineReady) return;
  EngineReady = true;
  YBWCManager_GetInstance()->bEngineTablesAllocated = 1;
  book_reload();
  YBWCManager* manager = YBWCManager_GetInstance();
  const bool root_master = manager->bRootMaster != 0;
  history_set_owner(manager->nRank, root_master);
  // A non root master allocates its history block when the machine
  // information arrives, and resets it with every synchronised position.
  if (root_master) {
    YBWCManager_AllocTranspositionTable(manager, option_get_hash_megabytes());
    YBWCManager_AllocHistoryTables(manager);
  }
  const eval_settings_t settings = eval_settings_from_options();
  pawn_init(settings.weight_pawn_structure);
  pawn_alloc();
  material_init(settings.weight_material, settings.exchange_bonus);
  material_alloc();
  pst_init(settings.weight_pawn_structure, settings.weight_piece_square, settings.parameters.weight_king_safety);
  eval_init();
  eval_parameter(settings.parameters);
  if (root_master) history_reset();
}

void apply_option_parameters() {
  const eval_settings_t settings = eval_settings_from_options();
  pawn_parameter(settings.weight_pawn_structure);
  material_parameter(settings.weight_material, settings.exchange_bonus);
  book_reload();
  pst_init(settings.weight_pawn_structure, settings.weight_piece_square, settings.parameters.weight_king_safety);
  eval_parameter(settings.parameters);
}

void engine_clear_transposition_table() {
  if (Trans->table != nullptr) trans_wipe(Trans);
}

void engine_reload_bitbases() {
  if (egbb_load(option_get("Bitbases Path"), egbb_cache_bytes(option_get_int("Bitbases Cache Size")))) return;
  std::fputs("EgbbProbe not Loaded!\n", stdout);
  std::fflush(stdout);
}
