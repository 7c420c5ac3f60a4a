// The message tests as real MPI jobs of two and of three processes: every
// rank must report GoogleTest's verdict "passed" and the job must end well
// within its time bound.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

class MessagingJob : public ::testing::TestWithParam<int> {};

TEST_P(MessagingJob, EveryRankPasses) {
  const int processes = GetParam();
  EngineProcess job({QUORREL_MPIEXEC, "-n", std::to_string(processes), QUORREL_MESSAGING_JOB});
  job.close_input();
  // Lines until the job's output ends (or the time bound passes, when the
  // wait below ends the job).
  std::vector<std::string> lines;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    auto line = job.read_line(left);
    if (!line) break;
    lines.push_back(*line);
  }
  const int exit_code = job.wait_exit(std::chrono::seconds(30));
  std::string output;
  int passed = 0;
  int failed = 0;
  // The ranks' output is merged by the launcher, sometimes within a line:
  // every verdict is counted, wherever it stands.
  auto count = [](const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
  };
  for (const std::string& line : lines) output += line + "\n";
  passed = count(output, "[  PASSED  ]");
  failed = count(output, "[  FAILED  ]");
  EXPECT_EQ(exit_code, 0) << output << job.stderr_text();
  EXPECT_EQ(passed, processes) << output;
  EXPECT_EQ(failed, 0) << output;
}

INSTANTIATE_TEST_SUITE_P(Processes, MessagingJob, ::testing::Values(2, 3));

}  // namespace
