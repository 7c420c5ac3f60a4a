// The table broadcasts as one rank of a job of two hosts sees them: this
// process plays rank 2 on host B (ranks 2 and 3), and host A holds ranks 0
// and 1. Rank 0 is the real process itself, so what is sent to it arrives and
// is acted on; ranks 1 and 3 do not exist, and a send to them fails, which
// shows any message that was not meant for them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "../chess/history_test_util.h"
#include "base/option.h"
#include "chess/board.h"
#include "chess/move.h"
#include "chess/trans.h"
#include "cluster/broadcast_send.h"
#include "cluster/hash_table_buffer.h"
#include "cluster/history_broadcast.h"
#include "cluster/host_topology.h"
#include "cluster/mpi_wrapper.h"
#include "service_test_util.h"
#include "sharing/table_memory.h"

namespace {

constexpr int kRanks = 4;
// A packed INT is 4 bytes and a UINT64 8: the header of a chunk and one entry.
constexpr int32_t kChunkHeaderBytes = 8;
constexpr int32_t kEntryBytes = 8 + 4 * 4;

class TableBroadcast : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    option_reset_all();
    manager_->nSize = kRanks;
    for (int rank = 2; rank < kRanks; rank++) manager_->pProcessorHandlers[rank] = ProcessorHandler_Construct(rank);
    const char* hosts[kRanks] = {"A", "A", "B", "B"};
    for (int rank = 0; rank < kRanks; rank++)
      std::snprintf(manager_->pProcessorHandlers[rank]->sProcessorName, kProcessorNameSize, "%s", hosts[rank]);
    std::snprintf(manager_->sLocalProcessorName, sizeof manager_->sLocalProcessorName, "B");
    PellamConfiguration* config = manager_->pConfiguration;
    config->bBroadcastTranspositionTable = 1;
    config->bUseSharedMemoryTranspositionTable = 1;
    config->bBroadcastHistoryTable = 1;
    config->bUseSharedMemoryHistoryTable = 1;
    config->nMinimumTransDepthForBroadcast = 4;
    manager_->nRank = 2;
    YBWCManager_AnalyzeHostTopology(manager_);
    // Rank 0's handler is the own process's queue: it is a peer here.
    handler0_->nState = 6;
    manager_->pProcessorHandlers[2]->nState = 7;
    manager_->bLoggedOn = 1;
    manager_->bNoTransStore = 0;
    manager_->nSyncPositionId = 5;
    manager_->pHashTableSendBuffer = nullptr;
    manager_->pHashTableReceiveBuffer = nullptr;
    YBWCManager_ConstructBroadcastBuffers(manager_);

    trans_alloc(&table_, 4, 0, false);
    saved_trans_ = Trans;
    Trans = &table_;
    history_ = std::make_unique<HistoryBlockScope>();
    manager_->bHistoryTablesReady = 1;
  }

  void TearDown() override {
    drain();
    history_.reset();
    Trans = saved_trans_;
    trans_release(&table_);
    YBWCManager_DestructBroadcastBuffers(manager_);
    for (int rank = 2; rank < kRanks; rank++) {
      ProcessorHandler_Destruct(manager_->pProcessorHandlers[rank]);
      manager_->pProcessorHandlers[rank] = nullptr;
    }
    ServiceTest::TearDown();
  }

  // A chunk size of its own for a test (the manager's buffer keeps the
  // start-up size).
  void use_chunk_size(int32_t size) {
    HashTableBuffer_Destruct(manager_->pHashTableSendBuffer);
    manager_->pHashTableSendBuffer = HashTableBuffer_Construct(size);
  }

  bool stored(uint64_t key, int expected_move) {
    entry_t* entry = nullptr;
    int move = 0, depth = 0, bound = 0, value = 0;
    return trans_probe(&table_, key, &entry, &move, &depth, &bound, &value) && move == expected_move;
  }

  static uint64_t key_of(int i) { return 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(i + 1); }

  trans_t table_{};
  trans_t* saved_trans_ = nullptr;
  std::unique_ptr<HistoryBlockScope> history_;
};

// ---- Transposition-table chunks ------------------------------------------------------------

TEST_F(TableBroadcast, ChunkSizeIsLimitedToOneUpTo256) {
  for (const auto& [asked, got] : {std::pair{0, 1}, {-7, 1}, {1, 1}, {64, 64}, {256, 256}, {1000, 256}}) {
    HashTableBuffer* buffer = HashTableBuffer_Construct(asked);
    EXPECT_EQ(buffer->nChunkSizeForFlush, got) << asked;
    EXPECT_EQ(buffer->nMaxSize, 256);
    EXPECT_EQ(buffer->nCount, 0);
    EXPECT_EQ(buffer->pBroadcastRequest, nullptr);
    HashTableBuffer_Destruct(buffer);
  }
}

TEST_F(TableBroadcast, FullChunkGoesOnlyToTheLowestRankOfTheOtherHostAndIsStoredThere) {
  use_chunk_size(3);
  HashTableBuffer* buffer = manager_->pHashTableSendBuffer;
  for (int i = 0; i < 2; i++) EXPECT_EQ(HashTableBuffer_AddEntryAndCheckBroadcast(buffer, key_of(i), 100 + i, 6, 2, i), 0);
  // Packed straight into the open chunk, nothing sent yet.
  ASSERT_NE(buffer->pBroadcastRequest, nullptr);
  EXPECT_EQ(buffer->nCount, 2);
  EXPECT_EQ(buffer->pBroadcastRequest->nPosition, kChunkHeaderBytes + 2 * kEntryBytes);
  EXPECT_EQ(manager_->nHashTableMessagesSent, 0);

  // The third entry fills it: rank 0 alone gets it (a send to rank 1 or 3
  // would fail), and it is stored there on arrival.
  EXPECT_EQ(HashTableBuffer_AddEntryAndCheckBroadcast(buffer, key_of(2), 102, 6, 2, 2), 0);
  drain();
  EXPECT_EQ(buffer->pBroadcastRequest, nullptr);
  EXPECT_EQ(buffer->nCount, 0);
  EXPECT_EQ(manager_->nHashTableChunksSent, 1);
  EXPECT_EQ(manager_->nHashTableMessagesSent, 1);
  EXPECT_EQ(manager_->nHashTableBytesSent, kChunkHeaderBytes + 3 * kEntryBytes);
  EXPECT_EQ(manager_->nHashTableChunksReceived, 1);
  EXPECT_EQ(manager_->nHashTableEntriesStored, 3);
  EXPECT_EQ(manager_->pHashTableReceiveBuffer->nCount, 3);
  for (int i = 0; i < 3; i++) EXPECT_TRUE(stored(key_of(i), 100 + i)) << i;
}

TEST_F(TableBroadcast, WithoutSharedTablesAChunkGoesToEveryOtherRank) {
  manager_->pConfiguration->bUseSharedMemoryTranspositionTable = 0;
  use_chunk_size(1);
  LogCapture log(1);
  // Chunks of one entry go at once: to rank 0, and to ranks 1 and 3, which
  // do not exist here.
  EXPECT_NE(HashTableBuffer_AddEntryAndCheckBroadcast(manager_->pHashTableSendBuffer, key_of(0), 77, 5, 1, 0), 0);
  drain();
  const std::string text = log.text();
  EXPECT_NE(text.find("ERROR HashTableBuffer_Broadcast(... failed at Request_SendBroadcastBuffer(..., errorcode = "),
            std::string::npos)
      << text;
  EXPECT_EQ(manager_->nHashTableMessagesSent, 1);
  EXPECT_TRUE(stored(key_of(0), 77));
}

TEST_F(TableBroadcast, SearchStoresAreAddedFromTheMinimumDepthAndMoveHintsAlways) {
  use_chunk_size(64);
  manager_->bDoBroadcastTranspositionTable = 1;
  ASSERT_TRUE(YBWCManager_BroadcastsTranspositionTable());
  YBWCManager_BroadcastStoredEntry(key_of(0), 1, 3, 2, 0);
  EXPECT_EQ(manager_->pHashTableSendBuffer->nCount, 0);
  YBWCManager_BroadcastStoredEntry(key_of(0), 1, 4, 2, 0);
  YBWCManager_BroadcastMoveHint(key_of(1), 2, -127, 0, -30000);
  EXPECT_EQ(manager_->pHashTableSendBuffer->nCount, 2);
  manager_->bDoBroadcastTranspositionTable = 0;
  EXPECT_FALSE(YBWCManager_BroadcastsTranspositionTable());
}

TEST_F(TableBroadcast, EntryThatCannotBePackedIsNotCountedAndLeavesTheChunkWhole) {
  use_chunk_size(64);
  HashTableBuffer* buffer = manager_->pHashTableSendBuffer;
  ASSERT_EQ(HashTableBuffer_AddEntryAndCheckBroadcast(buffer, key_of(0), 1, 6, 2, 0), 0);
  Request* chunk = buffer->pBroadcastRequest;
  // Room for the key but not for the rest of the entry.
  chunk->nPosition = kPackBufferSize - 10;
  LogCapture log(1);
  EXPECT_NE(HashTableBuffer_AddEntryAndCheckBroadcast(buffer, key_of(1), 2, 6, 2, 0), 0);
  EXPECT_NE(log.text().find("ERROR HashTableBuffer_AddEntryAndCheckBroadcast(... failed MPIWrapper_Pack_INT(... nMove"),
            std::string::npos)
      << log.text();
  EXPECT_EQ(buffer->nCount, 1);
  EXPECT_EQ(chunk->nPosition, kPackBufferSize - 10);
  EXPECT_EQ(chunk->nPackCode, 0);
  chunk->nPosition = kChunkHeaderBytes + kEntryBytes;
  HashTableBuffer_Reset(buffer);
  EXPECT_EQ(buffer->pBroadcastRequest, nullptr);
  EXPECT_EQ(buffer->nCount, 0);
  EXPECT_EQ(manager_->nHashTableMessagesSent, 0);
}

// ---- History increments ----------------------------------------------------------------------

TEST_F(TableBroadcast, HistoryIncrementsAreHalvedTogetherAndSentAfterTheConfiguredUpdates) {
  manager_->pConfiguration->nHistoryTableUpdatesToTriggerBroadcast = 3;
  EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(10, 10000), 0);
  EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(11, 7), 0);
  // 20000 passes 16383: every increment is halved once.
  EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(10, 10000), 0);
  drain();
  // The third update sent them (to rank 0, this process) and restarted them.
  EXPECT_EQ(manager_->nHistoryTableUpdates, 0);
  EXPECT_EQ(manager_->HistoryTableBuffer[10], 0);
  EXPECT_EQ(gpHistory->History[10], 10000);
  EXPECT_EQ(gpHistory->History[11], 4);
  EXPECT_EQ(manager_->pHistoryTableBroadcastBuffer, nullptr);
}

TEST_F(TableBroadcast, EveryUpdateBroadcastsWithATriggerOfOne) {
  manager_->pConfiguration->nHistoryTableUpdatesToTriggerBroadcast = 1;
  manager_->pConfiguration->nHistTotTableUpdatesToTriggerBroadcast = 1;
  int messages = 0;
  on_request_ = [&](const Request* request) {
    messages += request->nType == REQUEST_TYPE_HISTORY_TABLE_REPLICATION ||
                request->nType == REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION;
  };
  for (int i = 0; i < 3; i++) EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(20, 4), 0);
  EXPECT_EQ(YBWCManager_AccumulateHistTotUpdate(21, true), 0);
  EXPECT_EQ(YBWCManager_AccumulateHistTotUpdate(21, false), 0);
  drain();
  EXPECT_EQ(messages, 5);
  EXPECT_EQ(gpHistory->History[20], 12);
  EXPECT_EQ(gpHistory->HistHit[21], 1 + 1);
  EXPECT_EQ(gpHistory->HistTot[21], 1 + 2);
}

TEST_F(TableBroadcast, HitAndTotalIncrementsHalveOnlyTheirIndex) {
  manager_->pConfiguration->nHistTotTableUpdatesToTriggerBroadcast = 100000;
  manager_->HistTotTableBuffer[7] = 16383;
  manager_->HistHitTableBuffer[7] = 9;
  manager_->HistTotTableBuffer[8] = 30;
  EXPECT_EQ(YBWCManager_AccumulateHistTotUpdate(7, true), 0);
  EXPECT_EQ(manager_->HistTotTableBuffer[7], 8192);
  EXPECT_EQ(manager_->HistHitTableBuffer[7], 5);
  EXPECT_EQ(manager_->HistTotTableBuffer[8], 30);
  EXPECT_EQ(manager_->nHistTotTableUpdates, 1);
  // Indexes outside the tables are not counted.
  EXPECT_EQ(YBWCManager_AccumulateHistTotUpdate(HistorySize, true), 0);
  EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(-1, 5), 0);
  EXPECT_EQ(manager_->nHistTotTableUpdates, 1);
  EXPECT_EQ(manager_->nHistoryTableUpdates, 0);
}

TEST_F(TableBroadcast, IncrementsWithSharedHistoryGoOnlyToTheLowestRankOfTheOtherHost) {
  manager_->pConfiguration->nHistoryTableUpdatesToTriggerBroadcast = 1;
  // Shared history: rank 0 alone, and every send succeeds.
  EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(30, 1), 0);
  drain();
  EXPECT_EQ(gpHistory->History[30], 1);
  // Private history: every other rank, so the sends to ranks 1 and 3 fail.
  manager_->pConfiguration->bUseSharedMemoryHistoryTable = 0;
  LogCapture log(1);
  EXPECT_NE(YBWCManager_AccumulateHistoryUpdate(30, 1), 0);
  drain();
  EXPECT_NE(log.text().find("ERROR YBWCManager_BroadcastHistoryTable(... failed at Request_SendBroadcastBuffer("),
            std::string::npos);
  EXPECT_EQ(gpHistory->History[30], 2);
}

TEST_F(TableBroadcast, IncrementsAreMergedOnlyOnceTheTablesWereReset) {
  manager_->pConfiguration->nHistoryTableUpdatesToTriggerBroadcast = 1;
  manager_->bHistoryTablesReady = 0;
  EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(40, 9), 0);
  drain();
  EXPECT_EQ(gpHistory->History[40], 0);
  // The first reset of an allocated block marks the tables ready.
  YBWCManager_AllocHistoryTables(manager_);
  EXPECT_EQ(manager_->bHistoryTablesReady, 0);
  history_block_reset();
  EXPECT_EQ(manager_->bHistoryTablesReady, 1);
  EXPECT_EQ(YBWCManager_AccumulateHistoryUpdate(40, 9), 0);
  drain();
  EXPECT_EQ(gpHistory->History[40], 9);
}

TEST_F(TableBroadcast, AccumulationIsHookedOnlyWhileTheBroadcastIsOn) {
  manager_->pConfiguration->nHistoryTableUpdatesToTriggerBroadcast = 1000;
  manager_->pConfiguration->nHistTotTableUpdatesToTriggerBroadcast = 1000;
  manager_->pConfiguration->bUseSharedMemoryHistoryTable = 0;
  YBWCManager_SetHistoryAccumulation(YBWCManager_AccumulateHistoryUpdate, YBWCManager_AccumulateHistTotUpdate);
  auto board_storage = std::make_unique<board_state_t>();
  board_state_t& board = *board_storage;
  board_from_fen(board, "4k3/8/8/8/8/8/8/4K1N1 w - - 0 1");
  const int move = move_from_text("g1f3", board);
  const int index = history_index(move, board);
  manager_->bDoBroadcastHistoryTable = 0;
  YBWCManager_AllocHistoryTables(manager_);
  good_move(move, board, 5, 1);
  EXPECT_EQ(manager_->nHistoryTableUpdates, 0);
  manager_->bDoBroadcastHistoryTable = 1;
  YBWCManager_AllocHistoryTables(manager_);
  good_move(move, board, 5, 1);
  history_bad(move, board);
  EXPECT_EQ(manager_->nHistoryTableUpdates, 1);
  EXPECT_EQ(manager_->HistoryTableBuffer[index], 25);
  EXPECT_EQ(manager_->nHistTotTableUpdates, 1);
  YBWCManager_SetHistoryAccumulation(nullptr, nullptr);
}

}  // namespace
