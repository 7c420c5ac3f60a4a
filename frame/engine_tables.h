#pragma once
#include <cstdint>
// Release of the chess core's tables at the end of a node: the shared
// segments this process attached to or created, and private tables.

// A non root master's tables once the machine information has arrived: the
// transposition table of the start-up "Hash" and the history block.
void engine_tables_alloc();
// Detaches (without deleting) the shared segments this process only attached to.
void engine_tables_detach_attached_segments();
// The hash-size steps: detach from the table's segment when another process
// created it; detach and delete it when this one did; free the table and
// allocate it with the new size ("Share Hash Table" as it is now).
void engine_tables_detach_transposition_table();
void engine_tables_delete_transposition_table();
void engine_tables_realloc_transposition_table(int32_t megabytes);
// Detaches and deletes the shared segments this process created, and removes
// what killed jobs of the same executable left on the host.
void engine_tables_release_created_segments();
// Frees the private transposition and history tables, drops the views of
// shared ones and destroys the history lock.
void engine_tables_release();
// Frees the per-game tables (material and pawn caches) at process end.
void engine_tables_release_per_game();
