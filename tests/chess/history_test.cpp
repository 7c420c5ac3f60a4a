#include "chess/history.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/ybwc_manager.h"
#include "chess/killer.h"
#include "chess_test_util.h"
#include "history_test_util.h"

namespace {

struct SharingLog {
  int locks = 0;
  int unlocks = 0;
  int resets = 0;
  int32_t error = 0;
  std::vector<std::pair<int, int>> history;   // index, amount
  std::vector<std::pair<int, bool>> hist_tot;  // index, hit
};
SharingLog* g_log = nullptr;

history_sharing_t recording_sharing() {
  history_sharing_t s{};
  s.lock = [] { ++g_log->locks; };
  s.unlock = [] { ++g_log->unlocks; };
  s.accumulate_history = [](int index, int amount) {
    g_log->history.emplace_back(index, amount);
    return g_log->error;
  };
  s.accumulate_hist_tot = [](int index, bool hit) {
    g_log->hist_tot.emplace_back(index, hit);
    return g_log->error;
  };
  s.reset_done = [] { ++g_log->resets; };
  return s;
}

class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scope = std::make_unique<HistoryBlockScope>();
    board = board_from("4k3/8/8/3p4/8/8/8/3RK1N1 w - - 0 1");
    quiet = move_from_text("g1f3", *board);
    capture = move_from_text("d1d5", *board);
    index = history_index(quiet, *board);
  }
  void TearDown() override { scope.reset(); }
  std::unique_ptr<HistoryBlockScope> scope;
  std::unique_ptr<board_state_t> board;
  int quiet = 0, capture = 0, index = 0;
};

TEST_F(HistoryTest, FreshTablesAndIndex) {
  EXPECT_EQ(index, 64 * INDEX_WHITE_KNIGHT + 21);  // f3
  EXPECT_EQ(history_prob(quiet, *board), HistoryProbMax);
  for (int i = 0; i < HistorySize; ++i) {
    ASSERT_EQ(gpHistory->History[i], 0);
    ASSERT_EQ(gpHistory->HistHit[i], 1);
    ASSERT_EQ(gpHistory->HistTot[i], 1);
  }
}

TEST_F(HistoryTest, GoodMoveUpdatesKillersAndHistory) {
  good_move(quiet, *board, 5, 3);
  EXPECT_EQ(gpHistory->History[index], 25);
  EXPECT_EQ(killer_get(3, 0), quiet);
  int other = move_from_text("e1f2", *board);
  good_move(other, *board, 2, 3);
  EXPECT_EQ(killer_get(3, 0), other);
  EXPECT_EQ(killer_get(3, 1), quiet);
  good_move(other, *board, 2, 3);  // already first: slots unchanged
  EXPECT_EQ(killer_get(3, 1), quiet);
  // Noisy moves change nothing.
  good_move(capture, *board, 9, 3);
  EXPECT_EQ(killer_get(3, 0), other);
  EXPECT_EQ(gpHistory->History[history_index(capture, *board)], 0);
}

TEST_F(HistoryTest, HistoryIsHalvedBeforeReachingTheLimit) {
  gpHistory->History[index] = 16000;
  gpHistory->History[0] = 301;
  good_move(quiet, *board, 20, 1);  // 16400
  EXPECT_EQ(gpHistory->History[index], 8200);
  EXPECT_EQ(gpHistory->History[0], 151);
  // A deep search adds more than 16 bits hold; the entry still stays in range.
  gpHistory->History[index] = 16383;
  good_move(quiet, *board, 250, 1);
  EXPECT_LT(gpHistory->History[index], HistoryMax);
  EXPECT_GT(gpHistory->History[index], 8000);
}

TEST_F(HistoryTest, HitAndTotal) {
  history_good(quiet, *board);
  history_bad(quiet, *board);
  history_bad(quiet, *board);
  EXPECT_EQ(gpHistory->HistHit[index], 2);
  EXPECT_EQ(gpHistory->HistTot[index], 4);
  EXPECT_EQ(history_prob(quiet, *board), 8192);
  history_bad(capture, *board);  // noisy: ignored
  EXPECT_EQ(gpHistory->HistTot[history_index(capture, *board)], 1);
  // Only the index that reaches the limit is halved.
  gpHistory->HistHit[index] = 101;
  gpHistory->HistTot[index] = 16383;
  gpHistory->HistTot[0] = 16000;
  history_bad(quiet, *board);
  EXPECT_EQ(gpHistory->HistHit[index], 51);
  EXPECT_EQ(gpHistory->HistTot[index], 8192);
  EXPECT_EQ(gpHistory->HistTot[0], 16000);
}

// Tables arrive whole from other processes (work items, a shared block
// written without the lock); a zero total or hits above the total must not
// divide by zero or leave the probability out of range.
TEST_F(HistoryTest, ProbabilityOfInconsistentTablesStaysInRange) {
  gpHistory->HistHit[index] = 7;
  gpHistory->HistTot[index] = 0;
  EXPECT_EQ(history_prob(quiet, *board), HistoryProbMax);
  gpHistory->HistHit[index] = 300;
  gpHistory->HistTot[index] = 100;
  EXPECT_EQ(history_prob(quiet, *board), HistoryProbMax);
  EXPECT_EQ(gpHistory->HistHit[index], 150);
  EXPECT_EQ(gpHistory->HistTot[index], 50);
}

// A move whose origin is empty (a stale or received move) has no index; the
// updates must not write outside the tables.
TEST_F(HistoryTest, MovesFromEmptySquaresAreIgnored) {
  int stray = move_from_text("a3a4", *board);
  EXPECT_EQ(history_index(stray, *board), -1);
  good_move(stray, *board, 4, 2);
  history_good(stray, *board);
  history_bad(stray, *board);
  EXPECT_EQ(history_prob(stray, *board), HistoryProbMax);
  EXPECT_EQ(killer_get(2, 0), MOVE_NONE);
}

TEST_F(HistoryTest, SharingHooksSeeEveryUpdate) {
  SharingLog log;
  g_log = &log;
  history_sharing_t sharing = recording_sharing();
  history_set_sharing(&sharing);
  good_move(quiet, *board, 3, 1);
  history_good(quiet, *board);
  history_bad(quiet, *board);
  history_prob(quiet, *board);
  log.error = 15;  // a failing broadcast is logged and ignored
  good_move(quiet, *board, 2, 1);
  EXPECT_EQ(gpHistory->History[index], 13);
  ASSERT_EQ(log.history.size(), 2u);
  EXPECT_EQ(log.history[0], std::make_pair(index, 9));
  ASSERT_EQ(log.hist_tot.size(), 2u);
  EXPECT_EQ(log.hist_tot[0], std::make_pair(index, true));
  EXPECT_EQ(log.hist_tot[1], std::make_pair(index, false));
  EXPECT_EQ(log.locks, 5);
  EXPECT_EQ(log.unlocks, 5);
  g_log = nullptr;
}

history_block_t g_shared_block;

TEST_F(HistoryTest, SharedBlockKeepsContentsAndStampsTheWriter) {
  history_memory_t shared{[] { return &g_shared_block; }, [](history_block_t*) {}, true};
  g_shared_block.nRank = -5;
  g_shared_block.History[3] = 77;
  history_set_memory(&shared);
  history_alloc();
  EXPECT_TRUE(history_is_shared());
  EXPECT_EQ(gpHistory, &g_shared_block);
  EXPECT_EQ(gpHistory->History[3], 77);  // what other processes learned stays
  const YBWCManager* manager = YBWCManager_GetInstance();
  history_set_owner(6, false);
  history_good(quiet, *board);
  EXPECT_EQ(g_shared_block.nRank, 6);
  history_set_owner(manager->nRank, manager->bRootMaster != 0);
}

TEST_F(HistoryTest, SharedBlockThatCannotBeHadIsReplacedByAPrivateOne) {
  history_memory_t unavailable{[]() -> history_block_t* { return nullptr; }, [](history_block_t*) {}, true};
  history_set_memory(&unavailable);
  history_alloc();
  ASSERT_NE(gpHistory, nullptr);
  EXPECT_FALSE(history_is_shared());
  EXPECT_EQ(gpHistory->History[3], 0);
  EXPECT_EQ(gpHistory->HistTot[3], 1);
  EXPECT_EQ(history_prob(quiet, *board), HistoryProbMax);
}

TEST_F(HistoryTest, ClearingStepOnRootAndOtherProcesses) {
  const YBWCManager* manager = YBWCManager_GetInstance();
  SharingLog log;
  g_log = &log;
  history_sharing_t sharing = recording_sharing();
  history_set_sharing(&sharing);

  history_set_owner(0, true);
  killer_set(5, 100, 200);
  gpHistory->History[9] = 50;
  history_reset();
  EXPECT_EQ(killer_get(5, 0), MOVE_NONE);
  EXPECT_EQ(gpHistory->History[9], 0);
  EXPECT_EQ(log.resets, 1);

  // Elsewhere only the start-up reset is pending, and it has been done now.
  history_set_owner(1, false);
  gpHistory->History[9] = 50;
  killer_set(5, 100, 200);
  history_reset();
  EXPECT_EQ(killer_get(5, 0), MOVE_NONE);
  EXPECT_EQ(gpHistory->History[9], 50);
  history_block_reset();  // a synchronised position
  EXPECT_EQ(gpHistory->History[9], 0);
  EXPECT_EQ(log.resets, 2);

  history_set_owner(manager->nRank, manager->bRootMaster != 0);
  g_log = nullptr;
}

TEST_F(HistoryTest, ReceivedIncrementsSaturateInsteadOfWrapping) {
  std::vector<uint16_t> history(HistorySize, 0), total(HistorySize, 0), hit(HistorySize, 0);
  history[5] = 60000;
  total[6] = 65000;
  hit[6] = 65000;
  gpHistory->History[5] = 16000;
  gpHistory->History[7] = 100;
  gpHistory->HistTot[6] = 16000;
  gpHistory->HistHit[6] = 15000;
  history_merge_received({history.data(), HistorySize, total.data(), HistorySize, hit.data(), HistorySize, false});
  // 76000 would wrap to 10464; it stops at 65535 and the table is halved.
  EXPECT_EQ(gpHistory->History[5], 32768);
  EXPECT_EQ(gpHistory->History[7], 50);
  EXPECT_EQ(gpHistory->HistTot[6], 32768);
  EXPECT_EQ(gpHistory->HistHit[6], 32768);
  EXPECT_LE(history_prob(quiet, *board), HistoryProbMax);
}

TEST(Killers, OutOfRangeHeightsAreIgnored) {
  HistoryBlockScope scope;
  killer_set(-1, 5, 6);
  killer_set(KillerHeights, 5, 6);
  killer_add(300, 7);
  EXPECT_EQ(killer_get(-1, 0), MOVE_NONE);
  EXPECT_EQ(killer_get(KillerHeights, 1), MOVE_NONE);
  EXPECT_EQ(killer_get(0, 2), MOVE_NONE);
  killer_set(KillerHeights - 1, 5, 6);
  EXPECT_EQ(killer_get(KillerHeights - 1, 1), 6);
}

}  // namespace
