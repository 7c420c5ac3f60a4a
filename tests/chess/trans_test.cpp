#include "chess/trans.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <cstdlib>

#include <gtest/gtest.h>

#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/value.h"

namespace {

// Keys sharing the low 32 bits fall into one cluster.
uint64_t same_cluster_key(int n) { return (static_cast<uint64_t>(n + 1) << 32) | 0x1230u; }

class TransTable : public ::testing::Test {
 protected:
  // Another process than the root master: date 1, so cleared entries belong
  // to an older date.
  void SetUp() override { trans_alloc(&trans, 4, kRank, false); }
  void TearDown() override { trans_release(&trans); }

  const entry_t* find(uint64_t key) {
    entry_t* entry;
    int move, depth, bound, value;
    return trans_probe(&trans, key, &entry, &move, &depth, &bound, &value) ? entry : nullptr;
  }

  static constexpr int32_t kRank = 7;
  trans_t trans{};
};

}  // namespace

TEST(TransSizing, LargestPowerOfTwoOfEntriesThatFits) {
  EXPECT_EQ(trans_entries_for_megabytes(16), uint64_t{1} << 20);
  EXPECT_EQ(trans_entries_for_megabytes(24), uint64_t{1} << 20);
  EXPECT_EQ(trans_entries_for_megabytes(32), uint64_t{1} << 21);
  EXPECT_EQ(trans_entries_for_megabytes(4), uint64_t{1} << 18);
  // 1024 MB overflows a 32-bit product of megabytes and 2^20.
  EXPECT_EQ(trans_entries_for_megabytes(1024), uint64_t{1} << 26);
}

TEST(TransSizing, BelowFourMeansSixteenAndHugeStaysAPowerOfTwo) {
  for (int64_t m : {3, 0, -1, -100000}) EXPECT_EQ(trans_entries_for_megabytes(m), uint64_t{1} << 20) << m;
  for (int64_t m : {int64_t{INT_MAX}, int64_t{1} << 40}) {
    const uint64_t entries = trans_entries_for_megabytes(m);
    EXPECT_GT(entries, 0u);
    EXPECT_EQ(entries & (entries - 1), 0u);
  }
}

TEST(TransAlloc, SizesFromMegabytesAndLaysOutTheLockWord) {
  trans_t trans{};
  for (int megabytes : {16, 24, 2}) {
    trans_alloc(&trans, megabytes, 0, true);  // a second allocation releases the first
    EXPECT_EQ(trans.size, (uint64_t{1} << 20) + 3) << megabytes;
    EXPECT_EQ(trans.index_mask, (uint64_t{1} << 20) - 1) << megabytes;
    EXPECT_EQ(reinterpret_cast<char*>(trans.pTransLock), reinterpret_cast<char*>(trans.table) + trans.size * 16);
    EXPECT_EQ(trans.pTransLock->nLockId, -1);
    EXPECT_EQ(trans.current_date, 0);
    EXPECT_EQ(trans.table[trans.size - 1].stored_depth, TransDepthCleared);
  }
  trans_release(&trans);
  EXPECT_EQ(trans.table, nullptr);
  EXPECT_EQ(trans.size, 0u);
  trans_release(&trans);  // releasing twice is harmless
}

TEST(TransAlloc, LogsTheTableLayoutWithWellDefinedAddresses) {
  PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  const PellamConfiguration saved = *config;
  config->nPellamDebugLevel = 0;
  config->bLogToStdout = 1;
  config->bLogToFile = 0;
  config->bLogToCommonFile = 0;
  trans_t trans{};
  ::testing::internal::CaptureStdout();
  trans_alloc(&trans, 16, 0, true);
  const std::string out = ::testing::internal::GetCapturedStdout();
  *config = saved;
  char expected[256];
  std::snprintf(expected, sizeof expected,
                "INFO trans_alloc(... &trans->table %u, trans->size 1048579, sizeof(entry_t) 16, "
                "&trans->pTransLock->nLockId %u\n",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(trans.table)),
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(&trans.pTransLock->nLockId)));
  EXPECT_NE(out.find(expected), std::string::npos) << out;
  trans_release(&trans);
}

TEST(TransAlloc, LargestTableAllocatesAndClears) {
  // 1 GB is touched completely by the wipe; skip only where the machine
  // cannot hold it (e.g. a small CI runner under a sanitizer).
  const double available = static_cast<double>(sysconf(_SC_AVPHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  if (available < 3.0 * (1 << 30)) GTEST_SKIP() << "not enough free memory for a 1 GB table";
  trans_t trans{};
  trans_alloc(&trans, 1024, 0, true);
  ASSERT_EQ(trans.size, (uint64_t{1} << 26) + 3);
  EXPECT_EQ(trans.index_mask, (uint64_t{1} << 26) - 1);
  for (uint64_t i : {uint64_t{0}, uint64_t{1} << 25, trans.size - 1}) {
    EXPECT_EQ(trans.table[i].entry_key, 0u);
    EXPECT_EQ(trans.table[i].stored_depth, TransDepthCleared);
  }
  // The highest cluster reaches the last entry.
  for (uint64_t n = 1; n <= 4; n++) trans_store(&trans, (n << 32) | 0xFFFFFFFFu, 77, 3, TRANS_BOUND_EXACT, 5);
  entry_t* entry;
  int move, depth, bound, value;
  EXPECT_TRUE(trans_probe(&trans, (uint64_t{4} << 32) | 0xFFFFFFFFu, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(entry, trans.table + trans.size - 1);
  trans_release(&trans);
}

namespace {

uint64_t SmallSegmentBytes;
uint64_t BytesWanted;
int SharedReleases;
void* small_segment_acquire(uint64_t wanted, uint64_t* got) {
  BytesWanted = wanted;
  *got = SmallSegmentBytes;
  return std::calloc(1, SmallSegmentBytes);
}
void* failing_acquire(uint64_t, uint64_t* got) {
  *got = 0;
  return nullptr;
}
void counting_release(void* memory, uint64_t) {
  SharedReleases++;
  std::free(memory);
}

}  // namespace

TEST(TransAlloc, UsesOnlyWhatTheMemoryProviderGaveAndReleasesThroughIt) {
  // An existing segment made for a smaller table (4 MB) is all there is.
  SmallSegmentBytes = trans_memory_size((uint64_t{1} << 18) + 3);
  SharedReleases = 0;
  const trans_memory_t segment = {small_segment_acquire, counting_release, true};
  trans_set_memory(&segment);
  trans_t trans{};
  trans_alloc(&trans, 16, 0, true);
  trans_set_memory(nullptr);  // a later switch must not change how this table is released
  EXPECT_EQ(trans.size, (uint64_t{1} << 18) + 3);
  EXPECT_TRUE(trans.memory.bShared);
  EXPECT_LE(trans_memory_size(trans.size), SmallSegmentBytes);
  trans_release(&trans);
  EXPECT_EQ(SharedReleases, 1);

  // The largest table asks for its full size and takes what there is.
  trans_set_memory(&segment);
  trans_alloc(&trans, 1024, 0, true);
  trans_set_memory(nullptr);
  EXPECT_EQ(BytesWanted, trans_memory_size((uint64_t{1} << 26) + 3));
  EXPECT_EQ(trans.size, (uint64_t{1} << 18) + 3);
  trans_release(&trans);

  // An existing segment made for a larger table (64 MB): the table takes its
  // geometry, so its lock word is the creator's and not inside an entry.
  SmallSegmentBytes = trans_memory_size((uint64_t{1} << 22) + 3);
  trans_set_memory(&segment);
  trans_alloc(&trans, 16, 0, true);
  trans_set_memory(nullptr);
  EXPECT_EQ(trans.size, (uint64_t{1} << 22) + 3);
  EXPECT_EQ(reinterpret_cast<char*>(trans.pTransLock) + sizeof(TransLock),
            reinterpret_cast<char*>(trans.table) + SmallSegmentBytes);
  trans_release(&trans);

  // No memory from the provider: the table falls back to private memory.
  const trans_memory_t broken = {failing_acquire, counting_release, true};
  trans_set_memory(&broken);
  trans_alloc(&trans, 16, 0, true);
  trans_set_memory(nullptr);
  EXPECT_EQ(trans.size, (uint64_t{1} << 20) + 3);
  EXPECT_FALSE(trans.memory.bShared);
  trans_release(&trans);
  EXPECT_EQ(SharedReleases, 3);
}

TEST_F(TransTable, StoreThenProbeReturnsTheEntry) {
  trans.pTransLock->nLockId = 12345;
  trans_store(&trans, 0x0123456789ABCDEFull, 0x1234, 7, TRANS_BOUND_EXACT, -123);
  EXPECT_EQ(trans.pTransLock->nLockId, kRank);
  entry_t* entry = nullptr;
  int move = 0, depth = 0, bound = 0, value = 0;
  trans.pTransLock->nLockId = 12345;
  ASSERT_TRUE(trans_probe(&trans, 0x0123456789ABCDEFull, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(trans.pTransLock->nLockId, kRank);
  EXPECT_EQ(move, 0x1234);
  EXPECT_EQ(depth, 7);
  EXPECT_EQ(bound, TRANS_BOUND_EXACT);
  EXPECT_EQ(value, -123);
  EXPECT_EQ(entry->entry_key, 0x0123456789ABCDEFull);
  EXPECT_EQ(entry->date_flags >> 4, 1);
  EXPECT_EQ(entry->spare, 0);
  EXPECT_EQ(trans.probe_nb, 1u);
  EXPECT_EQ(trans.probe_hit, 1u);
  EXPECT_EQ(trans.store_nb, 1u);

  // Same cluster, other key: a miss points past the cluster.
  const uint64_t other = 0x1111111189ABCDEFull;
  ASSERT_FALSE(trans_probe(&trans, other, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(entry, trans.table + (0x89ABCDEFu & trans.index_mask) + TransClusterSize);
  EXPECT_EQ(trans.probe_nb, 2u);
  EXPECT_EQ(trans.probe_hit, 1u);
}

TEST_F(TransTable, PrincipalVariationDepthAndReceivedValuesAreHeldSafely) {
  entry_t* entry;
  int move, depth, bound, value;
  trans_store(&trans, 1, 0x0ABC, -127, TRANS_BOUND_NONE, -30000);
  ASSERT_TRUE(trans_probe(&trans, 1, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(depth, 129);
  EXPECT_EQ(value, -30000);
  // Entries received from other processes may carry anything.
  trans_store(&trans, 2, 0x10ABC, 300, 7, 40000);
  ASSERT_TRUE(trans_probe(&trans, 2, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(move, 0x0ABC);
  EXPECT_EQ(depth, 300 & 255);
  EXPECT_EQ(bound, 3);
  EXPECT_EQ(value, 32767);
  trans_store(&trans, 3, 1, 1, 1, -40000);
  ASSERT_TRUE(trans_probe(&trans, 3, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(value, -32767);
}

TEST_F(TransTable, PrincipalVariationHintNeverBlocksARealResult) {
  entry_t* entry;
  int move, depth, bound, value;
  // A hint lands in an empty slot; a later search result of its position
  // must still be stored, keeping the hinted move when it brings none.
  trans_store(&trans, 7, 0x0ABC, -127, TRANS_BOUND_NONE, -30000);
  trans_store(&trans, 7, 0, 3, TRANS_BOUND_EXACT, 25);
  ASSERT_TRUE(trans_probe(&trans, 7, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(depth, 3);
  EXPECT_EQ(bound, TRANS_BOUND_EXACT);
  EXPECT_EQ(value, 25);
  EXPECT_EQ(move, 0x0ABC);
  // A hint over a real result only supplies a missing move.
  trans_store(&trans, 7, 0x0DEF, -127, TRANS_BOUND_NONE, -30000);
  ASSERT_TRUE(trans_probe(&trans, 7, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(depth, 3);
  EXPECT_EQ(move, 0x0ABC);
}

TEST_F(TransTable, ShallowerStoreKeepsDeeperResultButFillsAMissingMove) {
  const uint64_t key = 0x55;
  trans_store(&trans, key, 0, 10, TRANS_BOUND_EXACT, 50);
  trans_new_date(&trans);
  trans_store(&trans, key, 0x0155, 5, TRANS_BOUND_LOWER, 99);
  const entry_t* e = find(key);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->best_move, 0x0155);
  EXPECT_EQ(e->stored_depth, 10);
  EXPECT_EQ(e->date_flags & 3, TRANS_BOUND_EXACT);
  EXPECT_EQ(e->stored_value, 50);
  EXPECT_EQ(e->date_flags >> 4, trans.current_date);  // refreshed to the current search
  EXPECT_EQ(trans.store_hit, 1u);
  EXPECT_EQ(trans.entries_used, 1u);

  trans_store(&trans, key, 0x0166, 9, TRANS_BOUND_UPPER, -7);
  EXPECT_EQ(e->best_move, 0x0155);  // a move is there already
  EXPECT_EQ(trans.entries_used, 1u);
}

TEST_F(TransTable, StoreWithoutMoveKeepsTheOldMove) {
  const uint64_t key = 0x77;
  trans_store(&trans, key, 0x0177, 5, TRANS_BOUND_LOWER, 10);
  trans_store(&trans, key, 0, 5, TRANS_BOUND_UPPER, -5);
  const entry_t* e = find(key);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->best_move, 0x0177);
  EXPECT_EQ(e->stored_depth, 5);
  EXPECT_EQ(e->date_flags & 3, TRANS_BOUND_UPPER);
  EXPECT_EQ(e->stored_value, -5);
  trans_store(&trans, key, 0x0188, 8, TRANS_BOUND_EXACT, 1);
  EXPECT_EQ(e->best_move, 0x0188);
  EXPECT_EQ(e->stored_depth, 8);
}

TEST_F(TransTable, ReplacementPrefersOldDatesThenShallowThenWeakBounds) {
  // Four current entries of depths 6, 2, 2, 9; the two of depth 2 differ in bound.
  trans_store(&trans, same_cluster_key(0), 1, 6, TRANS_BOUND_EXACT, 0);
  trans_store(&trans, same_cluster_key(1), 1, 2, TRANS_BOUND_EXACT, 0);
  trans_store(&trans, same_cluster_key(2), 1, 2, TRANS_BOUND_UPPER, 0);
  trans_store(&trans, same_cluster_key(3), 1, 9, TRANS_BOUND_EXACT, 0);
  EXPECT_EQ(trans.entries_used, 4u);  // cleared slots are of an older date
  EXPECT_EQ(trans.store_collision, 0u);

  trans_store(&trans, same_cluster_key(4), 1, 4, TRANS_BOUND_EXACT, 0);
  EXPECT_EQ(find(same_cluster_key(2)), nullptr);  // shallowest, weaker bound
  EXPECT_NE(find(same_cluster_key(1)), nullptr);
  EXPECT_EQ(trans.store_collision, 1u);
  trans_store(&trans, same_cluster_key(5), 1, 4, TRANS_BOUND_EXACT, 0);
  EXPECT_EQ(find(same_cluster_key(1)), nullptr);
  // Keys 5 and 4 now tie in slots 1 and 2: the first one goes.
  trans_store(&trans, same_cluster_key(6), 1, 4, TRANS_BOUND_EXACT, 0);
  EXPECT_EQ(find(same_cluster_key(5)), nullptr);
  EXPECT_NE(find(same_cluster_key(4)), nullptr);
  EXPECT_EQ(trans.store_collision, 3u);
}

TEST_F(TransTable, EntriesOfThePreviousDateAreReplacedFirst) {
  trans_store(&trans, same_cluster_key(0), 1, 255, TRANS_BOUND_EXACT, 0);
  trans_store(&trans, same_cluster_key(1), 1, 255, TRANS_BOUND_EXACT, 0);
  trans_store(&trans, same_cluster_key(2), 1, 255, TRANS_BOUND_EXACT, 0);
  trans_new_date(&trans);
  EXPECT_EQ(trans.entries_used, 0u);
  EXPECT_EQ(trans.store_nb, 0u);
  EXPECT_EQ(trans.date_age[(trans.current_date + 15) % 16], 1);
  // One date of age is worth 1024: an old entry of depth 255 goes before a current one of depth 0.
  trans_store(&trans, same_cluster_key(3), 1, 0, TRANS_BOUND_EXACT, 0);
  trans_store(&trans, same_cluster_key(4), 1, 0, TRANS_BOUND_NONE, 0);
  trans_store(&trans, same_cluster_key(1), 1, 200, TRANS_BOUND_EXACT, 0);  // shallower hit: only the date
  trans_store(&trans, same_cluster_key(5), 1, 0, TRANS_BOUND_NONE, 0);
  EXPECT_EQ(find(same_cluster_key(0)), nullptr);
  EXPECT_EQ(find(same_cluster_key(2)), nullptr);
  EXPECT_NE(find(same_cluster_key(1)), nullptr);
  EXPECT_EQ(trans.entries_used, 4u);
  EXPECT_EQ(trans.store_collision, 0u);
}

TEST_F(TransTable, WipeClearsEntriesAndStartsRootAndOtherProcessesOnDifferentDates) {
  trans_store(&trans, 9, 3, 4, TRANS_BOUND_LOWER, 8);
  trans_new_date(&trans);
  trans_wipe(&trans, true);
  EXPECT_EQ(trans.current_date, 0);
  EXPECT_EQ(find(9), nullptr);
  const entry_t& e = trans.table[9 & trans.index_mask];
  EXPECT_EQ(e.best_move, 0);
  EXPECT_EQ(e.stored_depth, TransDepthCleared);
  EXPECT_EQ(e.date_flags, 0);
  EXPECT_EQ(e.stored_value, 0);
  trans_wipe(&trans, false);
  EXPECT_EQ(trans.current_date, 1);
  EXPECT_EQ(trans.date_age[0], 1);
  EXPECT_EQ(trans.date_age[2], 15);
  // Without a role, the wipe takes the one the table was allocated for.
  trans_new_date(&trans);
  trans_wipe(&trans);
  EXPECT_EQ(trans.current_date, 1);
  trans_alloc(&trans, 4, 0, true);
  trans_new_date(&trans);
  trans_wipe(&trans);
  EXPECT_EQ(trans.current_date, 0);
  trans_date_set(&trans, 15);
  trans_new_date(&trans);
  EXPECT_EQ(trans.current_date, 0);
}

TEST_F(TransTable, HashfullCountsUsedEntriesInThousandths) {
  for (uint64_t i = 0; i < trans.size / 8; i++) trans_store(&trans, i * 4, 1, 1, TRANS_BOUND_EXACT, 0);
  EXPECT_NEAR(trans_hashfull(&trans, 0), 125.0, 0.1);
  EXPECT_NEAR(trans_hashfull(&trans, trans.size / 8), 250.0, 0.1);
  EXPECT_EQ(trans_hashfull(&trans, trans.size * 2), 1000.0);
  trans_t empty{};
  EXPECT_EQ(trans_hashfull(&empty, 5), 0.0);
}

TEST(TransUnallocated, ProbeAndStoreDoNothing) {
  trans_t trans{};
  entry_t* entry = nullptr;
  int move, depth, bound, value;
  trans_store(&trans, 1, 1, 1, 1, 1);
  EXPECT_FALSE(trans_probe(&trans, 1, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(trans.store_nb, 0u);
}

TEST(ValueTable, ConversionByBand) {
  EXPECT_EQ(value_to_table(value_mated(10), 4), -29994);
  EXPECT_EQ(value_from_table(-29994, 4), value_mated(10));
  EXPECT_EQ(value_to_table(value_mate(9), 3), 29994);
  EXPECT_EQ(value_to_table(5000, 3), 5120);
  EXPECT_EQ(value_to_table(-5000, 3), -5120);
  EXPECT_EQ(value_from_table(5120, 2), 5040);
  for (int v : {0, 3000, -3000, 2999, ValueEvalInf, -ValueEvalInf}) {
    EXPECT_EQ(value_to_table(v, 100), v);
    EXPECT_EQ(value_from_table(v, 100), v);
  }
}

TEST(ValueTable, RoundTripIsIdentityWhereverTheBandHoldsIt) {
  for (int h : {0, 1, 2, 7, 40, 63, 127, 200, 255}) {
    for (int v = -ValueMate; v <= ValueMate; v++) {
      const int t = value_to_table(v, h);
      ASSERT_GE(t, -32767);
      ASSERT_LE(t, 32767);
      ASSERT_EQ(is_mate_score(t), is_mate_score(v)) << v << " " << h;
      ASSERT_EQ(t > 0, v > 0) << v << " " << h;
      const bool saturated = is_bitbase_score(v) && std::abs(v) + 40 * h >= ValueEvalInf;
      if (!saturated) {
        ASSERT_EQ(value_from_table(t, h), v) << v << " " << h;
      }
    }
  }
}

TEST(ValueTable, SaturatesInsteadOfWrappingOrBecomingMate) {
  EXPECT_EQ(value_to_table(29000, 255), ValueEvalInf - 1);
  EXPECT_EQ(value_to_table(-29000, 255), -ValueEvalInf + 1);
  EXPECT_EQ(value_to_table(ValueNone, 255), -32767);
  EXPECT_EQ(value_to_table(32767, 255), 32767);
  EXPECT_EQ(value_to_table(5000, INT_MAX), ValueEvalInf - 1);
  EXPECT_EQ(value_to_table(value_mated(0), INT_MAX), -32767);
  EXPECT_EQ(value_from_table(-32767, INT_MIN), -32767);
}
