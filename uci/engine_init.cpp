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

namespace {
// Closes the book and opens it again from "BookFile" when "OwnBook" is on.
void book_reload() {
  book_close();
  if (option_get_bool("OwnBook")) book_open(option_get("BookFile"));
}
}  // namespace

void engine_startup() {
  if (!egbb_load("c:/egbb/", egbb_cache_bytes(16))) QLOG(0, "EgbbProbe not Loaded!\n");
}

void init_engine_once() {
  if (EngineReady) return;
  EngineReady = true;
  YBWCManager_GetInstance()->bEngineTablesAllocated = 1;
  book_reload();
  bool root_master = YBWCManager_IsRootMaster();
  // A non root master allocates its history block when the machine
  // information arrives, and resets it with every synchronised position.
  if (root_master) {
    trans_alloc(Trans);
    history_alloc();
  }
  pawn_init();
  pawn_alloc();
  material_init();
  material_alloc();
  pst_init();
  eval_init();
  eval_parameter();
  if (root_master) history_reset();
}

void apply_option_parameters() {
  pawn_parameter();
  material_parameter();
  book_reload();
  pst_init();
  eval_parameter();
}

void engine_clear_transposition_table() {
  if (Trans->table != nullptr) trans_wipe(Trans);
}

void engine_reload_bitbases() {
  if (egbb_load(option_get("Bitbases Path"), egbb_cache_bytes(option_get_int("Bitbases Cache Size")))) return;
  std::fputs("EgbbProbe not Loaded!\n", stdout);
  std::fflush(stdout);
}
