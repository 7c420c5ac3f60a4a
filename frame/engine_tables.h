#pragma once
// Release of the chess core's tables at the end of a node: the shared
// segments this process attached to or created, and private tables.

// Detaches (without deleting) the shared segments this process only attached to.
void engine_tables_detach_attached_segments();
// Detaches and deletes the shared segments this process created, and removes
// what killed jobs of the same executable left on the host.
void engine_tables_release_created_segments();
// Frees the private transposition and history tables, drops the views of
// shared ones and destroys the history lock.
void engine_tables_release();
// Frees the per-game tables (material and pawn caches) at process end.
void engine_tables_release_per_game();
