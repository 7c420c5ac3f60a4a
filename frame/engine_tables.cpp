#include "frame/engine_tables.h"

// The tables are allocated by the engine's late initialisation; each release
// below is added here as its table comes into being.

void engine_tables_detach_attached_segments() {}

void engine_tables_release_created_segments() {}

void engine_tables_release() {}

void engine_tables_release_per_game() {}
