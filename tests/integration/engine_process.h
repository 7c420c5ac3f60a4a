#pragma once
// Runs the real engine as a child process over pipes, the way a GUI or a
// match harness does, with a bound on every wait.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class EngineProcess {
 public:
  // Starts argv[0] with the arguments, in working directory `cwd` (empty:
  // inherit), in its own process group so that everything it starts can be killed.
  explicit EngineProcess(const std::vector<std::string>& argv, const std::string& cwd = "",
                         const std::vector<std::string>& env = {});
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  void send(const std::string& text);  // writes text as given
  void send_line(const std::string& line) { send(line + "\n"); }
  void close_input();

  // The next line of standard output, or nothing on time-out or end of output.
  std::optional<std::string> read_line(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Reads lines until one equals `line` (returns all lines read, the match last)
  // or the time-out passes (then the last element is not `line`).
  std::vector<std::string> read_until(const std::string& line,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Lines that arrive within `quiet` (for checking that nothing is printed).
  std::vector<std::string> read_for(std::chrono::milliseconds quiet);

  // Waits for the exit; the exit code, or -1 on time-out (the group is killed then).
  int wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  std::string stderr_text();
  pid_t pid() const { return pid_; }

 private:
  bool fill(int fd, std::string& buffer, std::chrono::steady_clock::time_point deadline);
  void kill_group();

  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool out_eof_ = false;
  std::string out_buffer_;
  std::string err_buffer_;
  int exit_code_ = -2;
};

// The engine binary alone, or under mpiexec with n processes.
std::vector<std::string> engine_command(int processes, const std::vector<std::string>& args = {});
// A fresh empty working directory for a test.
std::string make_temp_dir();
