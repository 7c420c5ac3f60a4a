// Every request and result type through the whole path between ranks:
// created on the destination's handler, packed, queued, sent, probed,
// received, unpacked and dispatched, with every field at the limits of its
// list. Each rank sends to the next rank and checks what the previous one
// sent it, so that a job of three ranks runs a ring.
#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/configuration.h"
#include "chess/history.h"
#include "chess/trans.h"
#include "cluster/message_send.h"
#include "cluster/processor_handler.h"
#include "job_util.h"
#include "search/search_records.h"

namespace {

// The values a rank sends are drawn from its rank, so that the receiver
// knows what to expect from the previous rank.
std::string text_of(int sender, char letter, size_t length) {
  std::string text(length, letter);
  text[0] = static_cast<char>('0' + sender);
  return text;
}

std::string name_of(int rank) { return text_of(rank, 'h', 128); }

std::vector<uint16_t> moves_of(int sender, size_t count, uint16_t base) {
  std::vector<uint16_t> moves(count);
  for (size_t i = 0; i < count; i++) moves[i] = static_cast<uint16_t>(base + 7 * i + sender);
  return moves;
}

constexpr int64_t kWorkId = INT64_MAX - 5;
constexpr uint64_t kTransUsed = UINT64_MAX - 3;
constexpr int64_t kNodes = int64_t{1} << 40;

// Every request type; the broadcast records (18, 20, 22) go out through
// their per-peer records (17, 19, 21).
void send_every_request(int me, int to) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const std::vector<uint16_t> pv = moves_of(me, 255, 100);
  auto send = [to](const char* name, auto init) { EXPECT_EQ(send_request(to, "test", name, init), 0) << name; };

  // The position id packed is the sender's at the moment of packing; another
  // rank's position may have replaced it while this rank serviced messages.
  // Every rank sets up the same position id, as after a position of the
  // root master: the history increments are then for the receiver's position.
  auto own_position = [manager] { manager->nSyncPositionId = 1000; };
  send("Request_InitRootMasterLogonInvitation", Request_InitRootMasterLogonInvitation);
  const std::string position = text_of(me, 'p', 8000);
  send("Request_InitRootMasterSyncPosition", [&](Request* r) {
    own_position();
    return Request_InitRootMasterSyncPosition(r, position.c_str());
  });
  const std::string option_name = text_of(me, 'n', 1024);
  const std::string option_value = text_of(me, 'v', 1024);
  send("Request_InitRootMasterSetOption", [&](Request* r) {
    return Request_InitRootMasterSetOption(r, option_name.c_str(), option_value.c_str());
  });
  const std::string go = text_of(me, 'g', 1024);
  send("Request_InitRootMasterRemoteTest", [&](Request* r) { return Request_InitRootMasterRemoteTest(r, go.c_str()); });
  for (int rank = 0; rank < manager->nSize; rank++)
    std::snprintf(manager->pProcessorHandlers[rank]->sProcessorName, kProcessorNameSize, "%s", name_of(rank).c_str());
  send("Request_InitRootMasterMachineInfo", Request_InitRootMasterMachineInfo);
  send("Request_InitNonRootMasterSyncAfterBroadcast", Request_InitNonRootMasterSyncAfterBroadcast);
  send("Request_InitSlaveTryToGetWork", [&](Request* r) { return Request_InitSlaveTryToGetWork(r, INT32_MIN + me); });
  send("Request_InitMasterStop", [&](Request* r) { return Request_InitMasterStop(r, kWorkId - me); });
  send("Request_InitSlaveProcessSearchResult", [&](Request* r) {
    own_position();
    return Request_InitSlaveProcessSearchResult(r, kWorkId, 255, 255, 4095, -30000, 3, 127, 255, 255, pv.data(), 1,
                                                1.0e9, 1.5e7, 100.0, kNodes + me, kTransUsed);
  });
  send("Request_InitMasterUpdateSearchWindow",
       [&](Request* r) { return Request_InitMasterUpdateSearchWindow(r, INT64_MIN + me, INT32_MIN, INT32_MAX); });

  // A transposition-table chunk of the largest size.
  Request* chunk = Request_Construct();
  HashTableBuffer buffer{kHashTableChunkMaxSize, kHashTableChunkMaxSize, kHashTableChunkMaxSize, chunk};
  ASSERT_EQ(Request_InitHashTableBroadcastBuffer(chunk, &buffer), 0);
  for (int i = 0; i < kHashTableChunkMaxSize; i++) {
    ASSERT_EQ(MPIWrapper_Pack_UINT64(UINT64_MAX - 1000 * i - me, chunk->buffer, &chunk->nPosition), 0);
    ASSERT_EQ(MPIWrapper_Pack_INT(1000 + i, chunk->buffer, &chunk->nPosition), 0);
    ASSERT_EQ(MPIWrapper_Pack_INT(20, chunk->buffer, &chunk->nPosition), 0);
    ASSERT_EQ(MPIWrapper_Pack_INT(TRANS_BOUND_LOWER, chunk->buffer, &chunk->nPosition), 0);
    ASSERT_EQ(MPIWrapper_Pack_INT(-i, chunk->buffer, &chunk->nPosition), 0);
  }
  chunk->bBroadcastInProgress = 1;
  {
    Request* peer = ProcessorHandler_CreateRequest(ProcessorHandler_Of(to));
    ASSERT_EQ(Request_InitHashTableReplication(peer, &buffer), 0);
    EXPECT_EQ(Request_SendBroadcastBuffer(peer), 0);
  }
  chunk->bBroadcastInProgress = 0;

  // History increments: all 768 of each table.
  const std::vector<uint16_t> history = moves_of(me, HistorySize, 1);
  const std::vector<uint16_t> total = moves_of(me, HistorySize, 3);
  const std::vector<uint16_t> hit = moves_of(me, HistorySize, 2);
  MessageContext* context = MessageContext_GetInstance();
  context->pHistoryTableBuffer = history.data();
  context->pHistTotTableBuffer = total.data();
  context->pHistHitTableBuffer = hit.data();
  own_position();  // the receiver took this position over: the increments are merged
  Request* history_shared = Request_Construct();
  ASSERT_EQ(Request_InitHistoryTableBroadcastBuffer(history_shared), 0);
  Request* tot_shared = Request_Construct();
  ASSERT_EQ(Request_InitHistTotTableBroadcastBuffer(tot_shared), 0);
  for (Request* shared : {history_shared, tot_shared}) {
    shared->bBroadcastInProgress = 1;
    Request* peer = ProcessorHandler_CreateRequest(ProcessorHandler_Of(to));
    ASSERT_EQ(shared == history_shared ? Request_InitHistoryTableReplication(peer, shared)
                                       : Request_InitHistTotTableReplication(peer, shared),
              0);
    EXPECT_EQ(Request_SendBroadcastBuffer(peer), 0);
    shared->bBroadcastInProgress = 0;
  }
  context->pHistoryTableBuffer = context->pHistTotTableBuffer = context->pHistHitTableBuffer = nullptr;

  send("Request_InitRootMasterIdleInvitation", Request_InitRootMasterIdleInvitation);
  send("Request_InitRootMasterSupportSearch", Request_InitRootMasterSupportSearch);
  send("Request_InitRootMasterStopRemoteSearch", Request_InitRootMasterStopRemoteSearch);
  send("Request_InitRootMasterNewGame", Request_InitRootMasterNewGame);
  // As the root master does: the shutdown follows once the log-off is answered.
  send("Request_InitRootMasterLogoffInvitation", Request_InitRootMasterLogoffInvitation);
  ASSERT_TRUE(serve_until([to] { return ProcessorHandler_Of(to)->nState == 8; }));
  send("Request_InitRootMasterShutdown", Request_InitRootMasterShutdown);
  // The shared records were freed with their last per-peer record.
}

constexpr int kRequestsSent = 19;

void check_every_request(const std::vector<SeenRequest>& seen, int from) {
  ASSERT_EQ(seen.size(), static_cast<size_t>(kRequestsSent));
  for (const SeenRequest& s : seen) EXPECT_EQ(s.record->nSource, from);
  const std::vector<int32_t> types{1, 5, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19, 21, 4, 6, 7, 8, 2, 3};
  for (size_t i = 0; i < types.size(); i++) EXPECT_EQ(seen[i].record->nType, types[i]) << i;

  EXPECT_EQ(seen[1].record->nSyncPositionId, 1000);
  EXPECT_EQ(seen[1].sync_position, text_of(from, 'p', 8000));
  EXPECT_EQ(seen[2].option_name, text_of(from, 'n', 1024));
  EXPECT_EQ(seen[2].option_value, text_of(from, 'v', 1024));
  EXPECT_EQ(seen[3].go_commands, text_of(from, 'g', 1024));
  ASSERT_EQ(seen[4].names.size(), static_cast<size_t>(job_size()));
  for (int rank = 0; rank < job_size(); rank++) EXPECT_EQ(seen[4].names[rank], name_of(rank));
  EXPECT_EQ(seen[6].record->nSyncPositionId, INT32_MIN + from);
  EXPECT_EQ(seen[7].record->nWorkId, kWorkId - from);

  const Request& result = *seen[8].record;
  EXPECT_EQ(result.nSyncPositionId, 1000);
  EXPECT_EQ(result.nWorkId, kWorkId);
  EXPECT_EQ(result.nStackIndex, 255);
  EXPECT_EQ(result.nMoveListIndex, 255);
  EXPECT_EQ(result.nBestMove, 4095);
  EXPECT_EQ(result.nBestValue, -30000);
  EXPECT_EQ(result.nFlags, 3);
  EXPECT_EQ(result.nDepth, 127);
  EXPECT_EQ(result.nMaxDepth, 255);
  ASSERT_EQ(result.nPVLength, 255);
  const std::vector<uint16_t> pv = moves_of(from, 255, 100);
  EXPECT_EQ(std::memcmp(result.PV, pv.data(), 255 * sizeof(uint16_t)), 0);
  EXPECT_EQ(result.PV[255], 0);
  EXPECT_EQ(result.bPonderMoveOk, 1);
  EXPECT_EQ(result.dTime, 1.0e9);
  EXPECT_EQ(result.dSpeed, 1.5e7);
  EXPECT_EQ(result.dCPU, 100.0);
  EXPECT_EQ(result.nNodes, kNodes + from);
  EXPECT_EQ(result.nTransUsed, kTransUsed);

  EXPECT_EQ(seen[9].record->nWorkId, INT64_MIN + from);
  EXPECT_EQ(seen[9].record->nAlpha, INT32_MIN);
  EXPECT_EQ(seen[9].record->nBeta, INT32_MAX);

  const Request& chunk = *seen[10].record;
  ASSERT_EQ(chunk.nHashTableEntryCount, kHashTableChunkMaxSize);
  for (int i = 0; i < kHashTableChunkMaxSize; i++) {
    const HashTableEntry& e = chunk.HashTableEntries[i];
    ASSERT_EQ(e.nKey, UINT64_MAX - 1000 * i - from) << i;
    ASSERT_EQ(e.nMove, 1000 + i);
    ASSERT_EQ(e.nDepth, 20);
    ASSERT_EQ(e.nFlags, TRANS_BOUND_LOWER);
    ASSERT_EQ(e.nValue, -i);
  }
  const std::vector<uint16_t> history = moves_of(from, HistorySize, 1);
  const std::vector<uint16_t> total = moves_of(from, HistorySize, 3);
  const std::vector<uint16_t> hit = moves_of(from, HistorySize, 2);
  EXPECT_EQ(seen[11].record->nSyncPositionId, 1000);
  ASSERT_EQ(seen[11].record->nHistoryTableCount, HistorySize);
  EXPECT_EQ(std::memcmp(seen[11].record->HistoryTable, history.data(), sizeof(uint16_t) * HistorySize), 0);
  ASSERT_EQ(seen[12].record->nHistTotTableCount, HistorySize);
  ASSERT_EQ(seen[12].record->nHistHitTableCount, HistorySize);
  EXPECT_EQ(std::memcmp(seen[12].record->HistTotTable, total.data(), sizeof(uint16_t) * HistorySize), 0);
  EXPECT_EQ(std::memcmp(seen[12].record->HistHitTable, hit.data(), sizeof(uint16_t) * HistorySize), 0);
}

using FullPath = JobTest;

TEST_F(FullPath, EveryRequestTypeArrivesWithEveryFieldAndActs) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const int me = job_rank();
  const int to = job_next();
  const int from = job_previous();
  setenv("QUORREL_PROCESSOR_NAME", name_of(me).c_str(), 1);
  std::vector<SeenRequest> seen;
  bool position_taken = false;
  int64_t nodes_at_support = -1;
  g_on_request = [&](const Request* r) {
    if (r->nSource == from && r->nType != REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST) seen.push_back(keep(r));
    if (r->nType == REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION) position_taken = true;
    // The slave's nodes were counted; the start of a supported search then
    // clears the statistics.
    if (r->nType == REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH) nodes_at_support = SearchCurrent->node_nb;
    // The sync round of another rank's log-off is answered too, but is not
    // one of the requests sent here; the one sent here is counted.
    if (r->nSource == from && r->nType == REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST &&
        seen.size() == 5)
      seen.push_back(keep(r));
  };
  std::vector<int32_t> answers;
  g_on_result = [&](const Result* r) {
    if (r->nSource == to) answers.push_back(r->nType);
  };
  const int64_t nodes_before = SearchCurrent->node_nb;
  const history_block_t history_before = *gpHistory;
  meet();  // every rank watches before any sends

  send_every_request(me, to);
  ProcessorHandler* next = ProcessorHandler_Of(to);
  const bool all = serve_until([&] { return seen.size() >= kRequestsSent && next->nState == 9; });
  std::string types;
  for (const SeenRequest& r : seen) types += std::to_string(r.record->nType) + " ";
  ASSERT_TRUE(all) << types << "state of the next rank " << next->nState << ", own state " << manager->nState
                   << ", delayed " << manager->nBufferedDelayedRequestCount;
  check_every_request(seen, from);
  EXPECT_TRUE(position_taken);

  // What the requests did here.
  EXPECT_EQ(manager->nState, NODE_STATE_SHUTDOWN);
  EXPECT_EQ(manager->bLoggedOn, 0);
  EXPECT_EQ(manager->nSyncPositionId, 1000);
  for (int rank = 0; rank < job_size(); rank++)
    EXPECT_STREQ(ProcessorHandler_Of(rank)->sProcessorName, name_of(rank).c_str());
  EXPECT_EQ(nodes_at_support, nodes_before + kNodes + from);
  EXPECT_EQ(SearchCurrent->node_nb, 0);
  SearchCurrent->node_nb = nodes_before;
  entry_t* entry;
  int move, depth, bound, value;
  EXPECT_TRUE(trans_probe(Trans, UINT64_MAX - 1000 * 7 - from, &entry, &move, &depth, &bound, &value));
  EXPECT_EQ(move, 1007);
  const std::vector<uint16_t> history = moves_of(from, HistorySize, 1);
  const std::vector<uint16_t> total = moves_of(from, HistorySize, 3);
  const std::vector<uint16_t> hit = moves_of(from, HistorySize, 2);
  for (int i = 0; i < HistorySize; i++) {
    ASSERT_EQ(gpHistory->History[i], history_before.History[i] + history[i]) << i;
    ASSERT_EQ(gpHistory->HistTot[i], history_before.HistTot[i] + total[i]) << i;
    ASSERT_EQ(gpHistory->HistHit[i], history_before.HistHit[i] + hit[i]) << i;
  }

  // What the answers did on the sending side. The synchronisation rounds of
  // the log-offs answer at times of their own: they are counted apart.
  std::vector<int32_t> in_order;
  int synced = 0;
  for (int32_t type : answers) {
    if (type == RESULT_TYPE_SYNC_AFTER_BROADCAST)
      ++synced;
    else
      in_order.push_back(type);
  }
  EXPECT_GE(synced, 1);
  EXPECT_EQ(in_order, (std::vector<int32_t>{RESULT_TYPE_NON_ROOT_MASTER_LOGON,
                                           RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION,
                                           RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST,
                                           RESULT_TYPE_MASTER_NO_WORK_AVAILABLE,
                                           RESULT_TYPE_NON_ROOT_MASTER_SYNC_NEW_GAME,
                                           RESULT_TYPE_NON_ROOT_MASTER_LOGOFF, RESULT_TYPE_NON_ROOT_MASTER_SHUTDOWN}));
  EXPECT_EQ(next->bSyncedSetOption, 1);
  EXPECT_EQ(next->bSyncedNewGame, 1);
  EXPECT_EQ(next->nState, 9);
  EXPECT_EQ(next->bLoggedOn, 0);
  EXPECT_EQ(manager->nShutdownCount, 1);
  EXPECT_EQ(manager->nLoggedOffCount, 1);
  unsetenv("QUORREL_PROCESSOR_NAME");
  *gpHistory = history_before;
}

// Every result type, sent directly, with its lists at their limits.
TEST_F(FullPath, EveryResultTypeArrivesWithEveryFieldAndActs) {
  YBWCManager* manager = YBWCManager_GetInstance();
  PellamConfiguration* config = manager->pConfiguration;
  config->bTransmitHistoryTable = 1;
  config->bTransmitHistTotTable = 1;
  const int me = job_rank();
  const int to = job_next();
  const int from = job_previous();
  setenv("QUORREL_PROCESSOR_NAME", name_of(me).c_str(), 1);
  manager->nSyncPositionId = 77;
  manager->nState = NODE_STATE_WAITING_FOR_WORK;
  std::vector<std::shared_ptr<Result>> seen;
  g_on_result = [&](const Result* r) {
    if (r->nSource == from) seen.push_back(keep(r));
  };
  uint16_t own_history[3][HistorySize];
  std::memcpy(own_history[0], gpHistory->History, sizeof own_history[0]);
  std::memcpy(own_history[1], gpHistory->HistTot, sizeof own_history[1]);
  std::memcpy(own_history[2], gpHistory->HistHit, sizeof own_history[2]);
  // The tables a work item carries are the sender's at the moment it packs;
  // a rank may take over another's before it packs its own, so every rank
  // holds the same tables here. (That they replace the receiver's own is
  // checked where a single process can tell the two apart.)
  for (int i = 0; i < HistorySize; i++) {
    gpHistory->History[i] = static_cast<uint16_t>(3 * i + 1);
    gpHistory->HistTot[i] = static_cast<uint16_t>(5 * i + 2);
    gpHistory->HistHit[i] = static_cast<uint16_t>(i + 3);
  }
  meet();  // every rank has its tables set and watches before any work item goes out

  const std::vector<uint16_t> move_ahead = moves_of(me, 256, 11);
  const std::vector<uint16_t> killers = moves_of(me, 512, 5);
  const std::vector<uint16_t> pv = moves_of(me, 255, 40);
  auto send = [to](const char* name, auto init) { EXPECT_EQ(send_result(to, "test", name, init), 0) << name; };
  send("Result_InitMasterWorkAvailable", [&](Result* r) {
    return Result_InitMasterWorkAvailable(r, 255, 255, 4, 410, 4095, 127, 126, 255, 1, 1, 0, INT32_MIN, -30000, 30000,
                                          15, 1, 256, move_ahead.data(), 512, killers.data());
  });
  send("Result_InitMasterNoWorkAvailable",
       [&](Result* r) { return Result_InitMasterNoWorkAvailable(r, INT32_MAX - me); });
  send("Result_InitNonRootMasterLogon", Result_InitNonRootMasterLogon);
  manager->nTotalNodes = INT64_MAX - me;
  send("Result_InitNonRootMasterLogoff", Result_InitNonRootMasterLogoff);
  send("Result_InitNonRootMasterShutdown", Result_InitNonRootMasterShutdown);
  send("Result_InitNonRootMasterRemoteTest", [&](Result* r) {
    return Result_InitNonRootMasterRemoteTest(r, 4095, 29999, 3, 255, 255, 255, pv.data(), 1, 1.0e-3, 2.5e8, 0.25,
                                              INT64_MAX - me);
  });
  send("Result_InitNonRootMasterSyncNewGame", Result_InitNonRootMasterSyncNewGame);
  send("Result_InitNonRootMasterSyncSetOption", Result_InitNonRootMasterSyncSetOption);
  send("Result_InitSyncAfterBroadcast", Result_InitSyncAfterBroadcast);
  ASSERT_TRUE(serve_until([&] { return seen.size() >= 9; }));
  ASSERT_EQ(seen.size(), 9u);

  const Result& item = *seen[0];
  EXPECT_EQ(item.nType, RESULT_TYPE_MASTER_WORK_AVAILABLE);
  EXPECT_EQ(item.nSyncPositionId, 77);
  EXPECT_GE(item.nWorkId, 1);
  EXPECT_EQ(item.nStackIndex, 255);
  EXPECT_EQ(item.nMoveListIndex, 255);
  EXPECT_EQ(item.nCallType, 4);
  EXPECT_EQ(item.nReturnPosition, 410);
  EXPECT_EQ(item.nMove, 4095);
  EXPECT_EQ(item.nDepth, 127);
  EXPECT_EQ(item.nNewDepth, 126);
  EXPECT_EQ(item.nHeight, 255);
  EXPECT_EQ(item.bExtended, 1);
  EXPECT_EQ(item.bInPV, 1);
  EXPECT_EQ(item.nPlayedNb, 0);
  EXPECT_EQ(item.bNoMovePlayedYet, 1);
  EXPECT_EQ(item.nHistoryValue, INT32_MIN);
  EXPECT_EQ(item.nAlpha, -30000);
  EXPECT_EQ(item.nBeta, 30000);
  EXPECT_EQ(item.nTransDate, 15);
  EXPECT_EQ(item.bGoodCap, 1);
  ASSERT_EQ(item.nMoveAheadListCount, 256);
  ASSERT_EQ(item.nKillerListCount, 512);
  const std::vector<uint16_t> their_move_ahead = moves_of(from, 256, 11);
  const std::vector<uint16_t> their_killers = moves_of(from, 512, 5);
  EXPECT_EQ(std::memcmp(item.MoveAheadList, their_move_ahead.data(), 512), 0);
  EXPECT_EQ(std::memcmp(item.KillerList, their_killers.data(), 1024), 0);
  ASSERT_EQ(item.nHistoryTableCount, HistorySize);
  ASSERT_EQ(item.nHistTotTableCount, HistorySize);
  ASSERT_EQ(item.nHistHitTableCount, HistorySize);
  for (int i = 0; i < HistorySize; i++) {
    ASSERT_EQ(item.HistoryTable[i], 3 * i + 1) << i;
    ASSERT_EQ(item.HistTotTable[i], 5 * i + 2) << i;
    ASSERT_EQ(item.HistHitTable[i], i + 3) << i;
    ASSERT_EQ(gpHistory->HistHit[i], i + 3) << i;
  }
  EXPECT_EQ(seen[1]->nType, RESULT_TYPE_MASTER_NO_WORK_AVAILABLE);
  EXPECT_EQ(seen[1]->nSyncPositionId, INT32_MAX - from);
  EXPECT_EQ(manager->nNoWorkAvailableInARow, 0);  // the node had stopped waiting: ignored
  EXPECT_EQ(seen[2]->nType, RESULT_TYPE_NON_ROOT_MASTER_LOGON);
  EXPECT_STREQ(seen[2]->sProcessorName, name_of(from).c_str());
  EXPECT_EQ(seen[3]->nTotalNodes, INT64_MAX - from);
  EXPECT_EQ(seen[4]->nType, RESULT_TYPE_NON_ROOT_MASTER_SHUTDOWN);
  const Result& remote = *seen[5];
  EXPECT_EQ(remote.nBestMove, 4095);
  EXPECT_EQ(remote.nBestValue, 29999);
  EXPECT_EQ(remote.nFlags, 3);
  EXPECT_EQ(remote.nDepth, 255);
  EXPECT_EQ(remote.nMaxDepth, 255);
  ASSERT_EQ(remote.nPVLength, 255);
  const std::vector<uint16_t> their_pv = moves_of(from, 255, 40);
  EXPECT_EQ(std::memcmp(remote.PV, their_pv.data(), 510), 0);
  EXPECT_EQ(remote.PV[255], 0);
  EXPECT_EQ(remote.bPonderMoveOk, 1);
  EXPECT_EQ(remote.dTime, 1.0e-3);
  EXPECT_EQ(remote.dSpeed, 2.5e8);
  EXPECT_EQ(remote.dCPU, 0.25);
  EXPECT_EQ(remote.nNodes, INT64_MAX - from);
  EXPECT_EQ(seen[6]->nType, RESULT_TYPE_NON_ROOT_MASTER_SYNC_NEW_GAME);
  EXPECT_EQ(seen[7]->nType, RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION);
  EXPECT_EQ(seen[8]->nType, RESULT_TYPE_SYNC_AFTER_BROADCAST);

  // The bookkeeping on the handler of the sender.
  const ProcessorHandler* sender = ProcessorHandler_Of(from);
  EXPECT_STREQ(sender->sProcessorName, name_of(from).c_str());
  EXPECT_EQ(sender->nState, 9);
  EXPECT_EQ(sender->bLoggedOn, 0);
  EXPECT_EQ(sender->bSyncedNewGame, 1);
  EXPECT_EQ(sender->bSyncedSetOption, 1);
  EXPECT_EQ(sender->bSyncedAfterBroadcast, 1);
  EXPECT_EQ(manager->nTotalNodesOfNonRootMasters, INT64_MAX - from);
  // The work item does not fit this rank's position: it was refused and
  // answered, and the node asks for work again. The remote test's result
  // found no remote test running here and was left alone.
  EXPECT_EQ(manager->nState, NODE_STATE_SUPPORT_SEARCH);

  unsetenv("QUORREL_PROCESSOR_NAME");
  std::memcpy(gpHistory->History, own_history[0], sizeof own_history[0]);
  std::memcpy(gpHistory->HistTot, own_history[1], sizeof own_history[1]);
  std::memcpy(gpHistory->HistHit, own_history[2], sizeof own_history[2]);
}

}  // namespace
