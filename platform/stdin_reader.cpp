#include "platform/stdin_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kBufferSize = 65536;
char Buffer[kBufferSize];
std::size_t Begin = 0;
std::size_t End = 0;
bool AtEnd = false;

// Fills the buffer with one read(); false at end of input or on error.
bool fill(int* error) {
  if (Begin == End) Begin = End = 0;
  if (End == kBufferSize) {  // compact so a read always has room
    std::memmove(Buffer, Buffer + Begin, End - Begin);
    End -= Begin;
    Begin = 0;
  }
  for (;;) {
    const ssize_t n = read(0, Buffer + End, kBufferSize - End);
    if (n > 0) {
      End += static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      AtEnd = true;
      return false;
    }
    if (errno == EINTR) continue;
    *error = errno;
    return false;
  }
}

}  // namespace

bool platform_stdin_has_input() {
  if (Begin < End || AtEnd) return true;
  pollfd descriptor{0, POLLIN, 0};
  const int ready = poll(&descriptor, 1, 0);
  if (ready < 0) return errno != EINTR;
  return ready > 0;  // POLLIN, POLLHUP, POLLERR and POLLNVAL all lead to a read
}

ReadLineResult platform_stdin_read_line(char* buffer, std::size_t size) {
  if (size == 0) return ReadLineResult::Error;
  std::size_t written = 0;
  while (written + 1 < size) {
    if (Begin == End) {
      if (AtEnd) break;
      int error = 0;
      if (!fill(&error)) {
        if (AtEnd) break;
        buffer[written] = '\0';
        errno = error;
        return ReadLineResult::Error;
      }
    }
    const char c = Buffer[Begin++];
    buffer[written++] = c;
    if (c == '\n') break;
  }
  buffer[written] = '\0';
  return written == 0 ? ReadLineResult::EndOfInput : ReadLineResult::Line;
}
