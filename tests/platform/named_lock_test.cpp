#include "platform/named_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "child_process.h"

namespace {

class NamedLockTest : public ::testing::Test {
 protected:
  void SetUp() override { name_ = "quorrel-lock-test." + std::to_string(getpid()); }
  void TearDown() override { platform_named_lock_remove(name_.c_str()); }
  bool listed() const {
    const auto names = platform_named_lock_names(name_);
    return std::find(names.begin(), names.end(), name_) != names.end();
  }
  std::string name_;
};

TEST_F(NamedLockTest, OneHolderAtATimeAndAKilledHolderLetsGo) {
  bool created = false;
  const int handle = platform_named_lock_open(name_.c_str(), &created);
  ASSERT_GE(handle, 0);
  EXPECT_TRUE(created);
  EXPECT_TRUE(listed());

  Signal holding;
  const pid_t child = start_child([&] {
    bool child_created = true;
    const int own = platform_named_lock_open(name_.c_str(), &child_created);
    if (own < 0 || child_created) return 1;
    if (platform_named_lock_acquire(own, 1000) != NamedLockWait::Acquired) return 2;
    holding.notify();
    pause();  // killed while it holds the lock
    return 3;
  });
  ASSERT_TRUE(holding.wait());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform_named_lock_acquire(handle, 100), NamedLockWait::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  kill(child, SIGKILL);
  EXPECT_EQ(wait_child(child), 128 + SIGKILL);
  EXPECT_EQ(platform_named_lock_acquire(handle, 5000), NamedLockWait::Acquired);
  EXPECT_TRUE(platform_named_lock_release(handle));
  EXPECT_TRUE(platform_named_lock_close(handle));
}

TEST_F(NamedLockTest, ReleasedLockIsTakenByTheWaiter) {
  bool created = false;
  const int handle = platform_named_lock_open(name_.c_str(), &created);
  ASSERT_EQ(platform_named_lock_acquire(handle, 1000), NamedLockWait::Acquired);
  Signal trying;
  const pid_t child = start_child([&] {
    bool ignored = false;
    const int own = platform_named_lock_open(name_.c_str(), &ignored);
    trying.notify();
    return platform_named_lock_acquire(own, 10000) == NamedLockWait::Acquired ? 0 : 1;
  });
  ASSERT_TRUE(trying.wait());
  EXPECT_TRUE(platform_named_lock_release(handle));
  EXPECT_EQ(wait_child(child), 0);
  platform_named_lock_close(handle);
}

TEST_F(NamedLockTest, RemovedLockIsGoneAndOpensAsNew) {
  bool created = false;
  int handle = platform_named_lock_open(name_.c_str(), &created);
  platform_named_lock_close(handle);
  EXPECT_TRUE(platform_named_lock_remove(name_.c_str()));
  EXPECT_FALSE(listed());
  handle = platform_named_lock_open(name_.c_str(), &created);
  EXPECT_TRUE(created);
  platform_named_lock_close(handle);
}

TEST(NamedLock, LockThatCannotBeOpenedHasNoHandle) {
  bool created = true;
  EXPECT_EQ(platform_named_lock_open("no/such/directory", &created), -1);
  EXPECT_FALSE(created);
}

}  // namespace
