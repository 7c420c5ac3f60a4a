#include "sharing/critical_section.h"

#include <signal.h>

#include "sharing_test_util.h"

namespace {

class CriticalSectionTest : public SharingTest {
 protected:
  std::string lock_file() const { return SharedMemory_LockName(manager_, kHistoryTableLockName) + ".lock"; }
};

TEST_F(CriticalSectionTest, LifeOfALockAndTheCountOfLocksHeld) {
  CriticalSection section;
  CriticalSection_Construct(&section, kHistoryTableLockName);
  EXPECT_TRUE(logged("    0:INFO CriticalSection_Construct(... <CriticalSectionHistoryTable> successful created\n"));
  EXPECT_GE(section.hMutex, 0);
  EXPECT_TRUE(exists_in_shm(lock_file()));
  EXPECT_EQ(section.bLocked, 0);

  CriticalSection_Enter(&section);
  EXPECT_EQ(section.bLocked, 1);
  EXPECT_EQ(CriticalSection_HeldCount(), 1);
  CriticalSection_Leave(&section);
  EXPECT_EQ(section.bLocked, 0);
  EXPECT_EQ(CriticalSection_HeldCount(), 0);
  CriticalSection_Leave(&section);  // not held: nothing to give back
  EXPECT_EQ(CriticalSection_HeldCount(), 0);

  // Another process of the job opens the same lock and leaves it in place.
  const pid_t child = start_child([&] {
    become_other_process(1);
    CriticalSection other;
    CriticalSection_Construct(&other, kHistoryTableLockName);
    const bool opened = other.hMutex >= 0 && !other.bCreated;
    CriticalSection_Destruct(&other);
    return opened && exists_in_shm(lock_file()) ? 0 : 1;
  });
  EXPECT_EQ(wait_child(child), 0);

  // Destroyed while held: left first; its creator removes it.
  CriticalSection_Enter(&section);
  CriticalSection_Destruct(&section);
  EXPECT_EQ(CriticalSection_HeldCount(), 0);
  EXPECT_FALSE(exists_in_shm(lock_file()));
}

TEST_F(CriticalSectionTest, WaitIsLoggedEachSliceAndAKilledHolderLetsGo) {
  CriticalSection section;
  CriticalSection_Construct(&section, kHistoryTableLockName);
  const pid_t child = start_history_lock_holder([&](CriticalSection&) {
    if (!eventually([&] { return count_logged(kWaitingLine) >= 3; })) return 1;
    raise(SIGKILL);  // dies holding the lock
    return 2;
  });
  const auto start = std::chrono::steady_clock::now();
  CriticalSection_Enter(&section);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(wait_child(child), 128 + SIGKILL);
  EXPECT_EQ(section.bLocked, 1);
  // One line per 100 ms slice that ended without the lock.
  const int lines = count_logged(kWaitingLine);
  EXPECT_GE(lines, 3);
  EXPECT_GE(waited, std::chrono::milliseconds(100 * lines));
  CriticalSection_Destruct(&section);
}

TEST_F(CriticalSectionTest, LockWithoutAHandleIsNeverWaitedFor) {
  CriticalSection section;
  CriticalSection_Construct(&section, "no/such/directory");
  EXPECT_TRUE(logged("    0:ERROR CriticalSection_Construct(... create for <no/such/directory> failed\n"));
  EXPECT_LT(section.hMutex, 0);
  CriticalSection_Enter(&section);
  EXPECT_EQ(section.bLocked, 0);
  EXPECT_EQ(CriticalSection_HeldCount(), 0);
  CriticalSection_Leave(&section);
  CriticalSection_Destruct(&section);
  EXPECT_EQ(CriticalSection_HeldCount(), 0);
}

}  // namespace
