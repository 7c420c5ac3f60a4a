#include "platform/shared_memory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "child_process.h"
#include "platform/shm_directory.h"

namespace {

namespace fs = std::filesystem;

// A name of this test process alone, removed again whatever happens.
class SharedSegmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "quorrel-platform-test." + std::to_string(getpid()) + "." +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(path(), ignored);
  }
  std::string path() const { return std::string(kSharedMemoryDirectory) + name_; }
  bool listed() const {
    const auto names = platform_shared_segment_names(name_);
    return std::find(names.begin(), names.end(), name_) != names.end();
  }
  std::string name_;
};

TEST_F(SharedSegmentTest, CreatorAndAttacherShareOneSegmentOfTheCreatorsSize) {
  const SharedSegment created = platform_shared_segment_open(name_.c_str(), 5000);
  ASSERT_EQ(created.outcome, SharedSegmentOutcome::Created);
  EXPECT_EQ(created.size, 5000u);
  const auto* bytes = static_cast<const unsigned char*>(created.view);
  EXPECT_TRUE(std::all_of(bytes, bytes + 5000, [](unsigned char b) { return b == 0; }));
  static_cast<int*>(created.view)[0] = 4711;
  EXPECT_TRUE(listed());

  const pid_t child = start_child([&] {
    // Asks for more than there is: gets the segment as it is.
    const SharedSegment segment = platform_shared_segment_open(name_.c_str(), 1 << 20);
    if (segment.outcome != SharedSegmentOutcome::Attached || segment.size != 5000) return 1;
    if (static_cast<int*>(segment.view)[0] != 4711) return 2;
    static_cast<int*>(segment.view)[1249] = 815;  // the last int of the segment
    return platform_shared_segment_close(segment.handle, segment.view, segment.size) ? 0 : 3;
  });
  EXPECT_EQ(wait_child(child), 0);
  EXPECT_EQ(static_cast<int*>(created.view)[1249], 815);

  EXPECT_TRUE(platform_shared_segment_close(created.handle, created.view, created.size));
  EXPECT_TRUE(listed());  // closing is not removing
  EXPECT_TRUE(platform_shared_segment_remove(name_.c_str()));
  EXPECT_FALSE(listed());
  EXPECT_TRUE(platform_shared_segment_remove(name_.c_str()));  // already gone counts as removed
}

TEST_F(SharedSegmentTest, SegmentThatCannotBeOpenedIsAFailure) {
  // Something else by that name: it can neither be created nor attached.
  ASSERT_TRUE(fs::create_directory(path()));
  const SharedSegment segment = platform_shared_segment_open(name_.c_str(), 4096);
  EXPECT_EQ(segment.outcome, SharedSegmentOutcome::OpenFailed);
  EXPECT_EQ(segment.view, nullptr);
  EXPECT_EQ(segment.handle, -1);
  EXPECT_NE(segment.error, 0);
}

TEST_F(SharedSegmentTest, SegmentOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs to switch users";
  const SharedSegment created = platform_shared_segment_open(name_.c_str(), 4096);
  ASSERT_EQ(created.outcome, SharedSegmentOutcome::Created);
  const pid_t child = start_child([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) return kChildCannotSetUp;
    const SharedSegment segment = platform_shared_segment_open(name_.c_str(), 4096);
    return segment.outcome == SharedSegmentOutcome::OpenFailed && segment.error == EACCES ? 0 : 1;
  });
  EXPECT_EQ(wait_child(child), 0);
  platform_shared_segment_close(created.handle, created.view, created.size);
  platform_shared_segment_remove(name_.c_str());
}

TEST_F(SharedSegmentTest, FullFileSystemFailsAtCreationNotOnFirstTouch) {
  const pid_t child = start_child_with_small_shm("1m", [&] {
    const SharedSegment segment = platform_shared_segment_open(name_.c_str(), 8 << 20);
    if (segment.outcome != SharedSegmentOutcome::OpenFailed || segment.error != ENOSPC) return 1;
    // Nothing is left that a later process could attach to.
    return platform_shared_segment_names(name_).empty() ? 0 : 2;
  });
  const int code = wait_child(child);
  if (code == kChildCannotSetUp) GTEST_SKIP() << "no mount namespace with a small file system here";
  EXPECT_EQ(code, 0);
}

TEST_F(SharedSegmentTest, UnsizedSegmentIsAFailureAfterABoundedWait) {
  // A creator that died between creating the name and sizing it.
  const int fd = shm_open(("/" + name_).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  const auto start = std::chrono::steady_clock::now();
  const SharedSegment segment = platform_shared_segment_open(name_.c_str(), 4096);
  EXPECT_EQ(segment.outcome, SharedSegmentOutcome::OpenFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(SharedSegmentTest, OnlyASegmentNobodyHoldsIsRemovedAsUnused) {
  const SharedSegment created = platform_shared_segment_open(name_.c_str(), 4096);
  ASSERT_EQ(created.outcome, SharedSegmentOutcome::Created);
  EXPECT_FALSE(platform_shared_segment_remove_unused(name_.c_str()));

  Signal attached, release;
  const pid_t child = start_child([&] {
    const SharedSegment segment = platform_shared_segment_open(name_.c_str(), 4096);
    attached.notify();
    release.wait();
    return segment.outcome == SharedSegmentOutcome::Attached ? 0 : 1;
  });
  ASSERT_TRUE(attached.wait());
  EXPECT_TRUE(platform_shared_segment_close(created.handle, created.view, created.size));
  EXPECT_FALSE(platform_shared_segment_remove_unused(name_.c_str()));  // the child still maps it
  EXPECT_TRUE(listed());
  release.notify();
  EXPECT_EQ(wait_child(child), 0);
  EXPECT_TRUE(platform_shared_segment_remove_unused(name_.c_str()));
  EXPECT_FALSE(listed());
}

TEST_F(SharedSegmentTest, NormalExitRemovesWhatTheProcessCreatedAndKept) {
  // A child that exits without giving its segment back removes it on exit...
  pid_t child = start_child([&] {
    const SharedSegment segment = platform_shared_segment_open(name_.c_str(), 4096);
    if (segment.outcome != SharedSegmentOutcome::Created) return 1;
    std::exit(0);
  });
  EXPECT_EQ(wait_child(child), 0);
  EXPECT_FALSE(listed());

  // ...but never one its parent created.
  const SharedSegment created = platform_shared_segment_open(name_.c_str(), 4096);
  ASSERT_EQ(created.outcome, SharedSegmentOutcome::Created);
  child = start_child([]() -> int { std::exit(0); });
  EXPECT_EQ(wait_child(child), 0);
  EXPECT_TRUE(listed());
  platform_shared_segment_close(created.handle, created.view, created.size);
  platform_shared_segment_remove(name_.c_str());
}

}  // namespace
