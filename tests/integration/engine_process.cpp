#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

EngineProcess::EngineProcess(const std::vector<std::string>& argv, const std::string& cwd,
                             const std::vector<std::string>& env) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    setpgid(0, 0);
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    for (const auto& assignment : env) putenv(strdup(assignment.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  setpgid(pid_, pid_);
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  in_fd_ = in_pipe[1];
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
  signal(SIGPIPE, SIG_IGN);
}

EngineProcess::~EngineProcess() {
  if (exit_code_ == -2) {
    kill_group();
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_fd_, out_fd_, err_fd_}) {
    if (fd >= 0) close(fd);
  }
}

void EngineProcess::kill_group() {
  if (pid_ > 0) kill(-pid_, SIGKILL);
}

void EngineProcess::send(const std::string& text) {
  if (in_fd_ < 0) return;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(in_fd_, text.data() + done, text.size() - done);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

void EngineProcess::close_input() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

bool EngineProcess::fill(int fd, std::string& buffer, Clock::time_point deadline) {
  pollfd p{fd, POLLIN, 0};
  const int ready = poll(&p, 1, remaining_ms(deadline));
  if (ready <= 0) return false;
  char chunk[4096];
  const ssize_t n = read(fd, chunk, sizeof chunk);
  if (n <= 0) return false;
  buffer.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::optional<std::string> EngineProcess::read_line(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto newline = out_buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = out_buffer_.substr(0, newline);
      out_buffer_.erase(0, newline + 1);
      return line;
    }
    if (out_eof_ || Clock::now() >= deadline) return std::nullopt;
    pollfd p{out_fd_, POLLIN, 0};
    const int ready = poll(&p, 1, remaining_ms(deadline));
    if (ready <= 0) continue;
    char chunk[4096];
    const ssize_t n = read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) {
      out_eof_ = true;
      continue;
    }
    out_buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::vector<std::string> EngineProcess::read_until(const std::string& line, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::vector<std::string> lines;
  while (Clock::now() < deadline) {
    auto next = read_line(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    if (!next) break;
    lines.push_back(*next);
    if (*next == line) break;
  }
  return lines;
}

std::vector<std::string> EngineProcess::read_for(std::chrono::milliseconds quiet) {
  std::vector<std::string> lines;
  const auto deadline = Clock::now() + quiet;
  while (auto next = read_line(std::chrono::duration_cast<std::chrono::milliseconds>(
             std::max(Clock::duration::zero(), deadline - Clock::now())))) {
    lines.push_back(*next);
  }
  return lines;
}

int EngineProcess::wait_exit(std::chrono::milliseconds timeout) {
  if (exit_code_ != -2) return exit_code_;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      kill_group();  // nothing the engine started may outlive it
      return exit_code_;
    }
    if (Clock::now() >= deadline) {
      kill_group();
      waitpid(pid_, nullptr, 0);
      exit_code_ = -1;
      return -1;
    }
    // Drain output so a chatty child never blocks on a full pipe while we wait.
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    poll(fds, 2, 10);
    if (fds[0].revents & POLLIN) fill(out_fd_, out_buffer_, Clock::now());
    if (fds[1].revents & POLLIN) fill(err_fd_, err_buffer_, Clock::now());
  }
}

std::string EngineProcess::stderr_text() {
  while (fill(err_fd_, err_buffer_, Clock::now() + std::chrono::milliseconds(200))) {
  }
  return err_buffer_;
}

std::vector<std::string> engine_command(int processes, const std::vector<std::string>& args) {
  std::vector<std::string> command;
  if (processes > 0) {
    command = {QUORREL_MPIEXEC, "-n", std::to_string(processes)};
  }
  command.push_back(QUORREL_BINARY);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

std::string make_temp_dir() {
  char pattern[] = "/tmp/quorrel-test-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr) throw std::runtime_error("mkdtemp");
  return dir;
}
