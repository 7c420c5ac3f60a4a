#pragma once
// The only writer of UCI output. Writes on the root master only.

// Formats one line (at most 4095 characters), writes it followed by "\n" to
// standard output and flushes. Does nothing on a non root master.
void uci_send(const char* format, ...) __attribute__((format(printf, 1, 2)));
