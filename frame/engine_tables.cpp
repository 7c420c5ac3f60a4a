#include "frame/engine_tables.h"

#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/material.h"
#include "chess/pawn.h"
#include "chess/trans.h"
#include "sharing/shared_memory.h"
#include "sharing/stale_segments.h"
#include "sharing/table_memory.h"

void engine_tables_alloc() {
  YBWCManager* manager = YBWCManager_GetInstance();
  YBWCManager_AllocTranspositionTable(manager, option_get_hash_megabytes());
  YBWCManager_AllocHistoryTables(manager);
}

void engine_tables_detach_attached_segments() { YBWCManager_DetachAllSharedMem(YBWCManager_GetInstance()); }

void engine_tables_detach_transposition_table() {
  YBWCManager_DetachSharedMem(YBWCManager_GetInstance(), SHARED_MEMORY_KEY_TRANSPOSITION_TABLE);
}

void engine_tables_delete_transposition_table() {
  YBWCManager_DeleteSharedMem(YBWCManager_GetInstance(), SHARED_MEMORY_KEY_TRANSPOSITION_TABLE);
}

void engine_tables_realloc_transposition_table(int32_t megabytes) {
  // A table in a segment given back above only loses its view here.
  trans_release(Trans);
  YBWCManager_AllocTranspositionTable(YBWCManager_GetInstance(), megabytes);
}

void engine_tables_release_created_segments() {
  YBWCManager* manager = YBWCManager_GetInstance();
  YBWCManager_DeleteSharedMem(manager, SHARED_MEMORY_KEY_TRANSPOSITION_TABLE);
  YBWCManager_DeleteSharedMem(manager, SHARED_MEMORY_KEY_HISTORY_TABLE);
  // What killed jobs of this executable left on the host goes too, once a
  // node that ran the engine ends (not after a command-line error).
  if (manager->bEngineTablesAllocated) SharedMemory_RemoveStale(manager);
}

void engine_tables_release() {
  // Tables in segments were given back with the segments above; releasing
  // them here only drops the views. Private ones are freed.
  YBWCManager_ReleaseTables(YBWCManager_GetInstance());
}

void engine_tables_release_per_game() {
  material_release();
  pawn_release();
}
