#pragma once
// What the root master's requests do to a non root master's engine and
// tables. The engine's late initialisation, the reading of a position or a go
// command, the application of an option and the tables' memory belong to the
// layers above; the process entry installs them here. A hook left null does
// nothing (a process without an engine, such as a message test).
#include <cstdint>

struct ClusterEngineHooks {
  void (*init_engine_once)();
  // Sets up the search input board as the UCI "position" command does (the
  // line may be cut in place).
  void (*parse_position)(char* position_command);
  // Runs a root search of its own from go parameters, as the UCI "go" does.
  void (*parse_go)(const char* go_parameters);
  // Sets the option, refreshes the configuration and re-reads the engine
  // parameters that depend on it.
  void (*apply_option)(const char* name, const char* value);
  // The machine information has arrived: the transposition table of the
  // start-up size and the history block.
  void (*alloc_tables)();
  // Log-off: detach (without deleting) every shared segment this process attached to.
  void (*detach_shared_tables)();
  // The three hash-size steps on this process's transposition table: detach
  // from a segment it attached to; detach and delete a segment it created;
  // free the table and allocate it anew with `megabytes`.
  void (*detach_transposition_table)();
  void (*delete_transposition_table)();
  void (*realloc_transposition_table)(int32_t megabytes);
};

void YBWCManager_SetEngineHooks(const ClusterEngineHooks* hooks);
const ClusterEngineHooks* YBWCManager_GetEngineHooks();
