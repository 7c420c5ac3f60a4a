#include "uci/engine_init.h"

#include <cstdio>

#include "chess/history.h"
#include "frame/log.h"
#include "frame/ybwc_manager.h"
#include "uci/protocol_flags.h"

void engine_startup() {
  // The bitbase library is loaded as soon as a loader exists; until then the
  // bitbases are reported unavailable.
  QLOG(0, "EgbbProbe not Loaded!\n");
}

void init_engine_once() {
  if (EngineReady) return;
  EngineReady = true;
  YBWCManager_GetInstance()->bEngineTablesAllocated = 1;
  bool root_master = YBWCManager_IsRootMaster();
  // A non root master allocates its history block when the machine
  // information arrives, and resets it with every synchronised position.
  if (root_master) history_alloc();
  if (root_master) history_reset();
}

void apply_option_parameters() {}

void engine_clear_transposition_table() {}

void engine_reload_bitbases() {
  std::fputs("EgbbProbe not Loaded!\n", stdout);
  std::fflush(stdout);
}
