#include "frame/fatal.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void my_fatal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fflush(stderr);
  std::exit(1);
}

void* my_malloc(std::size_t size) {
  void* p = std::malloc(size);
  if (p == nullptr) my_fatal("my_malloc(): malloc(): %s\n", std::strerror(errno));
  return p;
}
