#include "frame/engine_tables.h"

#include "chess/history.h"
#include "chess/material.h"
#include "chess/pawn.h"
#include "chess/trans.h"

// The tables are allocated by the engine's late initialisation; each release
// below is added here as its table comes into being.

void engine_tables_detach_attached_segments() {}

void engine_tables_release_created_segments() {}

void engine_tables_release() {
  if (!Trans->memory.bShared) trans_release(Trans);
  // A shared history block is given up with the shared segments.
  if (!history_is_shared()) history_free();
}

void engine_tables_release_per_game() {
  material_release();
  pawn_release();
}
