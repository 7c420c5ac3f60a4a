#pragma once
// Orderly end of the process for unrecoverable errors.
#include <cstddef>

// Writes the message to standard error and the log, shuts the node down in
// order and exits with code 1. Returns only when called again while that
// shutdown is already running; callers must then leave in a safe state.
void my_fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// malloc that ends the process through my_fatal when no memory is left.
void* my_malloc(std::size_t size);
