#pragma once
// Release of the chess core's tables at the end of a node: the shared
// segments this process attached to or created, and private tables.

// Detaches (without deleting) the shared segments this process only attached to.
void engine_tables_detach_attached_segments();
// Detaches and deletes the shared segments this process created.
void engine_tables_release_created_segments();
// Frees the transposition and history tables that are not shared.
void engine_tables_release();
// Frees the per-game tables (material and pawn caches) at process end.
void engine_tables_release_per_game();
