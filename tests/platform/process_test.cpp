#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"

namespace {

TEST(Process, EndedProcessesAreNotAlive) {
  EXPECT_TRUE(platform_process_alive(platform_process_id()));
  EXPECT_TRUE(platform_process_alive(platform_parent_process_id()));
  EXPECT_FALSE(platform_process_alive(0));
  EXPECT_FALSE(platform_process_alive(-1));

  // Ended but not reaped yet: gone all the same.
  const pid_t child = start_child([] { return 0; });
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, child, &info, WEXITED | WNOWAIT), 0);
  EXPECT_FALSE(platform_process_alive(child));
  EXPECT_EQ(wait_child(child), 0);
  EXPECT_FALSE(platform_process_alive(child));
}

TEST(Process, ExecutableAndHost) {
  const std::string path = platform_executable_path();
  EXPECT_EQ(path.substr(path.find_last_of('/') + 1), "quorrel_unit_tests");
  EXPECT_FALSE(platform_host_name().empty());
}

}  // namespace
