#include "platform/process.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// State letter from /proc/<pid>/stat ("pid (name) S ..."); '?' when unreadable.
char process_state(int64_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return '?';
  char text[512] = {};
  const std::size_t length = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[length] = '\0';
  const char* close_paren = std::strrchr(text, ')');  // the name may contain blanks and parentheses
  return close_paren != nullptr && close_paren[1] == ' ' ? close_paren[2] : '?';
}

}  // namespace

int64_t platform_process_id() { return getpid(); }

int64_t platform_parent_process_id() { return getppid(); }

bool platform_process_alive(int64_t pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
  return process_state(pid) != 'Z';
}

bool platform_started_by_process_manager() { return std::getenv("PMI_RANK") != nullptr; }

std::string platform_executable_path() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<std::size_t>(length));
}

std::string platform_host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool platform_set_below_normal_priority(bool below_normal) {
  // Relative to the niceness the process was started with: a job started
  // with "nice" stays below what its user asked for, and "normal" never
  // raises a process above where its user put it.
  static const int started_with = [] {
    errno = 0;  // getpriority may rightly return -1: only errno tells a failure
    const int nice = getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
  }();
  const int wanted = below_normal ? std::min(started_with + 10, 19) : started_with;
  return setpriority(PRIO_PROCESS, 0, wanted) == 0;
}

namespace {
volatile sig_atomic_t ExitCodeAfterAlarm = 0;
void exit_on_alarm(int) { _exit(ExitCodeAfterAlarm); }
}  // namespace

void platform_exit_after(uint32_t seconds, int exit_code) {
  ExitCodeAfterAlarm = exit_code;
  signal(SIGALRM, exit_on_alarm);
  alarm(seconds);
}
