#include "sharing/table_memory.h"

#include <sys/stat.h>

#include <filesystem>

#include "sharing/critical_section.h"
#include "sharing_test_util.h"

namespace {

constexpr int32_t kTrans = SHARED_MEMORY_KEY_TRANSPOSITION_TABLE;
constexpr int32_t kHistory = SHARED_MEMORY_KEY_HISTORY_TABLE;

class TableMemoryTest : public SharingTest {
 protected:
  void configure(bool share_hash, bool share_history, bool synchronize) {
    PellamConfiguration* config = manager_->pConfiguration;
    config->bUseSharedMemoryTranspositionTable = share_hash;
    config->bUseSharedMemoryHistoryTable = share_history;
    config->bSynchronizeHistoryTableAccess = synchronize;
  }
  static uint64_t size_in_shm(const std::string& name) {
    struct stat status {};
    return stat((std::string(kSharedMemoryDirectory) + name).c_str(), &status) == 0 ? status.st_size : 0;
  }
  std::string lock_file() const { return SharedMemory_LockName(manager_, kHistoryTableLockName) + ".lock"; }
  void block_directory(int32_t key) {
    ASSERT_TRUE(std::filesystem::create_directory(std::string(kSharedMemoryDirectory) + segment(key)));
  }
  void unblock_directory(int32_t key) { std::filesystem::remove(std::string(kSharedMemoryDirectory) + segment(key)); }
};

TEST_F(TableMemoryTest, TranspositionTableLivesInItsSegmentAndGoesWithIt) {
  configure(true, false, false);
  YBWCManager_AllocTranspositionTable(manager_, 4);
  ASSERT_TRUE(Trans->memory.bShared);
  EXPECT_EQ(Trans->table, record(kTrans).pView);
  EXPECT_EQ(Trans->size, (uint64_t{1} << 18) + 3);
  EXPECT_EQ(size_in_shm(segment(kTrans)), Trans->size * 16 + 4);
  EXPECT_EQ(record(kTrans).nMappedSize, Trans->size * 16 + 4);

  // A new size: the old segment is deleted before the new one is created.
  YBWCManager_AllocTranspositionTable(manager_, 8);
  const std::string text = log();
  const std::size_t deleted = text.find("    0:INFO successful detach and delete of shared memory for key 5997\n");
  const std::size_t created = text.find("with size " + std::to_string(((uint64_t{1} << 19) + 3) * 16 + 4) +
                                        " successfully allocated\n");
  ASSERT_NE(deleted, std::string::npos);
  ASSERT_NE(created, std::string::npos);
  EXPECT_LT(deleted, created);
  EXPECT_EQ(size_in_shm(segment(kTrans)), ((uint64_t{1} << 19) + 3) * 16 + 4);

  // "Share Hash Table" switched off: the next table is private, and the
  // shared one was given back to its segment, not freed.
  configure(false, false, false);
  YBWCManager_AllocTranspositionTable(manager_, 4);
  EXPECT_FALSE(Trans->memory.bShared);
  EXPECT_FALSE(exists_in_shm(segment(kTrans)));
  YBWCManager_ReleaseTables(manager_);
  EXPECT_EQ(Trans->table, nullptr);
}

TEST_F(TableMemoryTest, ProcessesOfAHostUseOneTableWithOneGeometry) {
  configure(true, false, false);
  YBWCManager_AllocTranspositionTable(manager_, 4);
  const uint64_t size = Trans->size;
  const auto lock_offset = reinterpret_cast<char*>(Trans->pTransLock) - reinterpret_cast<char*>(Trans->table);
  constexpr uint64_t kKey = 0x0123456789ABCDEFull;

  // One asks for more and one for less than the segment holds: both take
  // the segment's geometry, and their lock word is the creator's.
  for (const int megabytes : {16, 4}) {
    const pid_t child = start_child([&] {
      become_other_process(1);
      YBWCManager_AllocTranspositionTable(manager_, megabytes);
      if (!Trans->memory.bShared || Trans->size != size) return 1;
      if (reinterpret_cast<char*>(Trans->pTransLock) - reinterpret_cast<char*>(Trans->table) != lock_offset) return 2;
      trans_store(Trans, kKey, 0x1234, 7, TRANS_BOUND_EXACT, 55);
      YBWCManager_ReleaseTables(manager_);
      return 0;
    });
    EXPECT_EQ(wait_child(child), 0) << megabytes;
  }
  EXPECT_TRUE(logged("    1:INFO successful detach (without delete) of shared memory for key 5997\n"));
  EXPECT_EQ(Trans->pTransLock->nLockId, 1);
  entry_t* entry = nullptr;
  int move = 0, depth = 0, bound = 0, value = 0;
  ASSERT_TRUE(trans_probe(Trans, kKey, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(move, 0x1234);
  EXPECT_EQ(value, 55);
  EXPECT_EQ(Trans->pTransLock->nLockId, 0);
}

TEST_F(TableMemoryTest, TablesWithoutASegmentFallBackToPrivateMemory) {
  configure(true, true, true);
  block_directory(kTrans);
  block_directory(kHistory);
  YBWCManager_AllocTranspositionTable(manager_, 4);
  YBWCManager_AllocHistoryTables(manager_);
  unblock_directory(kTrans);
  unblock_directory(kHistory);

  EXPECT_TRUE(logged("    0:ERROR trans_alloc(... no shared memory for the table (" +
                     std::to_string(((uint64_t{1} << 18) + 3) * 16 + 4) + " bytes), using private memory\n"));
  EXPECT_TRUE(logged("    0:ERROR history_alloc(... no shared memory for the history tables, using private memory\n"));
  ASSERT_NE(Trans->table, nullptr);
  EXPECT_FALSE(Trans->memory.bShared);
  EXPECT_EQ(Trans->size, (uint64_t{1} << 18) + 3);
  trans_store(Trans, 42, 0x0101, 3, TRANS_BOUND_LOWER, 10);
  entry_t* entry = nullptr;
  int move = 0, depth = 0, bound = 0, value = 0;
  EXPECT_TRUE(trans_probe(Trans, 42, &entry, &move, &depth, &bound, &value));
  ASSERT_NE(gpHistory, nullptr);
  EXPECT_FALSE(history_is_shared());
  EXPECT_EQ(gpHistory->HistTot[0], 1);
  // A private block is nobody else's: it has no lock.
  EXPECT_EQ(manager_->pHistoryTableCriticalSection, nullptr);
  EXPECT_FALSE(exists_in_shm(lock_file()));
}

TEST_F(TableMemoryTest, FullSharedMemoryIsAnErrorAtStartAndTheTableIsPrivate) {
  configure(true, false, false);
  const pid_t child = start_child_with_small_shm("1m", [&] {
    YBWCManager_AllocTranspositionTable(manager_, 16);
    if (Trans->table == nullptr || Trans->memory.bShared) return 1;
    trans_store(Trans, 42, 0x0101, 3, TRANS_BOUND_LOWER, 10);  // private memory: no SIGBUS
    return std::filesystem::is_empty(kSharedMemoryDirectory) ? 0 : 2;
  });
  const int code = wait_child(child);
  if (code == kChildCannotSetUp) GTEST_SKIP() << "no mount namespace with a small file system here";
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(logged(", " + segment(kTrans) + ")), result = " + std::to_string(ENOSPC) + "\n"));
  EXPECT_TRUE(logged("    0:ERROR trans_alloc(... no shared memory for the table ("));
}

TEST_F(TableMemoryTest, HistoryIsLockedExactlyWhenSharedAndSynchronized) {
  for (const bool share : {false, true}) {
    for (const bool synchronize : {false, true}) {
      SCOPED_TRACE(testing::Message() << "share " << share << " synchronize " << synchronize);
      configure(false, share, synchronize);
      YBWCManager_AllocHistoryTables(manager_);
      EXPECT_EQ(history_is_shared(), share);
      EXPECT_EQ(exists_in_shm(segment(kHistory)), share);
      EXPECT_EQ(manager_->pHistoryTableCriticalSection != nullptr, share && synchronize);
      EXPECT_EQ(exists_in_shm(lock_file()), share && synchronize);
      YBWCManager_ReleaseTables(manager_);
      YBWCManager_DeleteSharedMem(manager_, kHistory);
      EXPECT_FALSE(exists_in_shm(lock_file()));
    }
  }
  EXPECT_EQ(count_logged("    0:INFO CriticalSection_Construct(... <CriticalSectionHistoryTable> successful created\n"),
            1);
}

TEST_F(TableMemoryTest, SynchronizedHistoryAccessWaitsForTheOtherHolder) {
  configure(false, true, true);
  history_set_owner(0, true);
  YBWCManager_AllocHistoryTables(manager_);
  ASSERT_TRUE(history_is_shared());
  gpHistory->HistTot[5] = 9;

  // The other process holds the lock until this one has waited for it.
  const pid_t child = start_history_lock_holder([&](CriticalSection& section) {
    const bool waited = eventually([&] { return logged(kWaitingLine); });
    CriticalSection_Destruct(&section);
    return waited ? 0 : 1;
  });
  history_block_reset();  // a locked access: returns once the child let go
  EXPECT_EQ(wait_child(child), 0);
  EXPECT_TRUE(logged(kWaitingLine));
  EXPECT_EQ(gpHistory->HistTot[5], 1);
  EXPECT_EQ(gpHistory->nRank, 0);
  EXPECT_EQ(CriticalSection_HeldCount(), 0);
}

}  // namespace
