#include "base/fatal.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "base/ybwc_manager.h"

namespace {
// Process-wide as well as in the manager: the shutdown replaces the manager
// by a fresh one, which must not let a second fatal error start over.
bool FatalInProgress = false;
ShutdownHandler InstalledShutdown = nullptr;
}  // namespace

void set_shutdown_handler(ShutdownHandler handler) { InstalledShutdown = handler; }

void shutdown_and_exit(const char* reason, int exit_code) {
  if (InstalledShutdown != nullptr) InstalledShutdown(reason);
  std::exit(exit_code);
}

void my_fatal(const char* format, ...) {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (FatalInProgress || manager->bFatalInProgress) return;
  FatalInProgress = true;
  manager->bFatalInProgress = 1;

  char message[16384];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  std::fputs(message, stderr);
  std::fflush(stderr);
  YBWCManager_Log(manager, "%s", message);

  shutdown_and_exit("finalizing environment via my_fatal(...\n", 1);
}

void* my_malloc(std::size_t size) {
  void* p = std::malloc(size);
  if (p != nullptr) return p;
  my_fatal("my_malloc(): malloc(): %s\n", std::strerror(errno));
  // my_fatal returns only when a shutdown is already running. There is no
  // memory to hand out, and callers use what they get without a test, so the
  // process ends here instead of returning null.
  std::_Exit(1);
}
