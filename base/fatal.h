#pragma once
// Orderly end of the process for unrecoverable errors.
#include <cstddef>

// Writes the message to standard error and the log, shuts the node down in
// order and exits with code 1. Returns only when called again while that
// shutdown is already running; callers must then leave in a safe state.
void my_fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// malloc that ends the process through my_fatal when no memory is left; it
// never returns null.
void* my_malloc(std::size_t size);

// The node's orderly shutdown (logging the other ranks off, releasing the
// tables, finalising MPI) belongs to the process entry, which installs it
// here; every way out of the process runs it.
using ShutdownHandler = void (*)(const char* reason);
void set_shutdown_handler(ShutdownHandler handler);
// Runs the installed shutdown with `reason` and ends the process.
[[noreturn]] void shutdown_and_exit(const char* reason, int exit_code);
