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
  std::vector<std::string> lines;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
  while (std::chrono::steady_clock::now() < deadline) {
    auto line = job.read_line(std::chrono::seconds(10));
    if (!line) {
      if (job.wait_exit(std::chrono::milliseconds(1)) != -1) break;
      continue;
    }
    lines.push_back(*line);
  }
  const int exit_code = job.wait_exit(std::chrono::seconds(30));
  for (const std::string& line : job.read_for(std::chrono::milliseconds(200))) lines.push_back(line);
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
