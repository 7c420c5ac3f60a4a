#pragma once
// Standard input as lines, with a zero-wait test for pending input. The
// reader keeps its own buffer on file descriptor 0, so that the test and the
// reads agree on what has arrived, whatever kind of stream the input is
// (pipe, terminal or socket).
#include <cstddef>

// True when a line (or part of one) is buffered, or the descriptor is
// readable, at end of input or in error: the latter two must reach the reader
// so that the caller takes its end-of-input path.
bool platform_stdin_has_input();

enum class ReadLineResult { Line, EndOfInput, Error };

// Reads at most size - 1 characters up to and including a newline into
// buffer and terminates it. Blocks until that much is available. On Error,
// errno describes the failure.
ReadLineResult platform_stdin_read_line(char* buffer, std::size_t size);
