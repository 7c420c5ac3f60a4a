#include "sharing/stale_segments.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>

#include "sharing/critical_section.h"
#include "sharing_test_util.h"

namespace {

class StaleSegmentsTest : public SharingTest {
 protected:
  void TearDown() override {
    for (const std::string& name : made_) std::filesystem::remove(std::string(kSharedMemoryDirectory) + name);
    SharingTest::TearDown();
  }
  // A segment as a killed job leaves it: sized, mapped by nobody.
  void make_segment(const std::string& name) {
    const int fd = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << name;
    ASSERT_EQ(ftruncate(fd, 4096), 0);
    close(fd);
    made_.push_back(name);
  }
  void make_lock(const std::string& name) {
    const int fd = open((std::string(kSharedMemoryDirectory) + name + ".lock").c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    made_.push_back(name + ".lock");
  }
  static int64_t dead_pid() {
    const pid_t child = start_child([] { return 0; });
    wait_child(child);
    return child;
  }
  std::vector<std::string> made_;
};

TEST_F(StaleSegmentsTest, OnlyWhatDeadJobsOfThisExecutableLeftIsRemoved) {
  // The clean-up is host-wide for an executable: other test processes of the
  // same binary (run in parallel) would rightly remove what this test plants.
  // The job therefore takes an executable name no other process uses.
  const std::string executable = "stale_test_" + std::to_string(getpid());
  std::snprintf(manager_->sSharedMemoryJobName, sizeof manager_->sSharedMemoryJobName, "%s",
                SharedMemory_ComposeJobName(executable, getpid(), "sharing-test").c_str());
  const std::string dead = std::to_string(dead_pid());
  const std::string alive = std::to_string(getppid());
  const std::string stale_segment = "SharedMemory_Id_" + executable + "." + dead + ".h-" + job_ + "_5997";
  const std::string stale_lock = "CriticalSectionHistoryTable_" + executable + "." + dead + ".h-" + job_;
  const std::string running_job = "SharedMemory_Id_" + executable + "." + alive + ".h-" + job_ + "_5997";
  const std::string other_executable = "SharedMemory_Id_other_" + executable + "." + dead + ".h-" + job_ + "_5997";
  const std::string still_held = "SharedMemory_Id_" + executable + "." + dead + ".h-" + job_ + "_5998";
  make_segment(stale_segment);
  make_lock(stale_lock);
  make_segment(running_job);
  make_segment(other_executable);
  make_segment(still_held);
  // A process still maps this one, whatever its name says.
  const int held = shm_open(("/" + still_held).c_str(), O_RDWR, 0);
  ASSERT_EQ(flock(held, LOCK_SH), 0);

  EXPECT_EQ(SharedMemory_RemoveStale(manager_), 2);
  EXPECT_FALSE(exists_in_shm(stale_segment));
  EXPECT_FALSE(exists_in_shm(stale_lock + ".lock"));
  EXPECT_TRUE(exists_in_shm(running_job));
  EXPECT_TRUE(exists_in_shm(other_executable));
  EXPECT_TRUE(exists_in_shm(still_held));
  EXPECT_TRUE(logged("    0:INFO removed shared memory <" + stale_segment + "> left by a job that ended\n"));
  EXPECT_TRUE(logged("    0:INFO removed lock <" + stale_lock + "> left by a job that ended\n"));
  close(held);

  // The first segment the process maps clears up first: the one no longer
  // held goes. The process's own segments are never stale.
  ASSERT_NE(YBWCManager_InitSharedMem(manager_, SHARED_MEMORY_KEY_TRANSPOSITION_TABLE, 4096), nullptr);
  EXPECT_FALSE(exists_in_shm(still_held));
  EXPECT_EQ(SharedMemory_RemoveStale(manager_), 0);
  EXPECT_TRUE(exists_in_shm(segment(SHARED_MEMORY_KEY_TRANSPOSITION_TABLE)));
}

}  // namespace
