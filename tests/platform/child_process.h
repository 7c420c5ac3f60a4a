#pragma once
// Forked helper processes for tests of host-wide resources: each runs a body
// and ends with _exit, so it never runs the test framework's or the parent's
// exit handlers; every wait is bounded and a child that overstays is killed.
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

// Runs `body` in a child that exits with its result.
inline pid_t start_child(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

// The child's exit code (128 + signal when killed), or -1 after killing it
// when it has not ended within `timeout`.
inline int wait_child(pid_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// One-way signal between a parent and a child: a byte through a pipe.
class Signal {
 public:
  Signal() {
    if (pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Signal() {
    close(fds_[0]);
    close(fds_[1]);
  }
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  void notify() const {
    const char byte = 1;
    if (write(fds_[1], &byte, 1) != 1) return;
  }
  // True when notified within the time-out.
  bool wait(std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
    pollfd fd{fds_[0], POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) != 1) return false;
    char byte = 0;
    return read(fds_[0], &byte, 1) == 1;
  }

 private:
  int fds_[2];
};

// Polls `condition` until it holds or the time-out passes.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Exit code of a child that could not set up what the test needs.
constexpr int kChildCannotSetUp = 77;

// Runs `body` in a child whose shared-memory directory is a fresh file system
// of `size` (for example "1m") in a mount namespace of its own, so the host's
// directory is untouched. kChildCannotSetUp when the system does not allow it.
inline pid_t start_child_with_small_shm(const char* size, const std::function<int()>& body) {
  return start_child([&] {
    if (unshare(CLONE_NEWNS) != 0) return kChildCannotSetUp;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kChildCannotSetUp;
    const std::string options = std::string("size=") + size;
    if (mount("tmpfs", "/dev/shm", "tmpfs", 0, options.c_str()) != 0) return kChildCannotSetUp;
    return body();
  });
}
