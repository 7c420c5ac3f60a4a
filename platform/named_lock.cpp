#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/shm_directory.h"

namespace {

constexpr const char* kLockSuffix = ".lock";

std::string path_of(const char* name) { return std::string(kSharedMemoryDirectory) + name + kLockSuffix; }

int64_t now_us() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void pause_us(long microseconds) {
  timespec request{0, microseconds * 1000};
  nanosleep(&request, nullptr);
}

}  // namespace

int platform_named_lock_open(const char* name, bool* created) {
  const std::string path = path_of(name);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    *created = true;
    platform_remove_at_exit(path);
    return fd;
  }
  *created = false;
  if (errno != EEXIST) return -1;
  return open(path.c_str(), O_RDWR | O_CLOEXEC);
}

NamedLockWait platform_named_lock_acquire(int handle, uint32_t timeout_ms) {
  // The holders keep the lock for a few table accesses: poll often at
  // first, then back off to a millisecond.
  const int64_t deadline = now_us() + int64_t{timeout_ms} * 1000;
  long pause = 20;
  for (;;) {
    if (flock(handle, LOCK_EX | LOCK_NB) == 0) return NamedLockWait::Acquired;
    if (errno != EWOULDBLOCK && errno != EINTR) return NamedLockWait::Failed;
    if (now_us() >= deadline) return NamedLockWait::TimedOut;
    pause_us(pause);
    pause = std::min(pause * 2, 1000L);
  }
}

bool platform_named_lock_release(int handle) { return flock(handle, LOCK_UN) == 0; }

bool platform_named_lock_close(int handle) { return close(handle) == 0; }

bool platform_named_lock_remove(const char* name) {
  const std::string path = path_of(name);
  platform_forget_at_exit(path);
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::vector<std::string> platform_named_lock_names(const std::string& prefix) {
  return platform_shm_directory_list(prefix, kLockSuffix);
}
