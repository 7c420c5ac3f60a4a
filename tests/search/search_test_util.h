#pragma once
// Runs whole searches the way "go" does, on a process of its own.
#include "base/configuration.h"
#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/board.h"
#include "chess/trans.h"
#include "search/driver.h"
#include "search/search_records.h"
#include "search/time_control.h"
#include "uci/engine_init.h"

// Options at their defaults, configuration read from them, chess tables built.
inline void search_test_setup() {
  static bool done = false;
  if (done) return;
  done = true;
  option_reset_all();
  YBWCManager* manager = YBWCManager_GetInstance();
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  // A test's standard input is not a GUI: the searches must not read it (an
  // end of input there would end the test program).
  manager->pConfiguration->bUseEvent = 0;
  manager->bRootMaster = 1;
  manager->nRank = 0;
  if (Trans->table == nullptr) trans_alloc(Trans, option_get_hash_megabytes(), 0, true);
  engine_startup();
  init_engine_once();
  apply_option_parameters();
}

// Searches fen to a fixed depth from an empty table and history; returns the
// best line.
inline search_best_t search_fen(const char* fen, int depth) {
  search_test_setup();
  trans_wipe(Trans, true);
  static search_limits_t limits;
  board_from_fen(limits.board, fen);
  GoParameters go;
  go.depth = depth;
  time_allocate(go, limits.board.side_to_move, time_options_read(), limits);
  search_go(limits);
  return SearchBest[0];
}
