#include "cluster/request.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../chess/history_test_util.h"
#include "base/option.h"
#include "chess/trans.h"
#include "cluster/message_dispatch.h"
#include "cluster/processor_handler.h"
#include "message_test_util.h"

namespace {

// The record a peer would build from the sender's packed bytes.
Request* receive(const Request* sent, int32_t* code) {
  Request* received = Request_Construct();
  std::memcpy(received->buffer, sent->buffer, kPackBufferSize);
  received->nSource = 3;
  *code = Request_GetParameterFromBuffer(received);
  return received;
}

// What the dispatcher does with a record whose fields were read.
int32_t act_on(Request* received) {
  received->bParametersUnread = 0;
  return RequestDispatcher_Dispatch(received);
}

// Reads a packed message field by field, the way a peer's MPI sees it.
class WireReader {
 public:
  explicit WireReader(const char* buffer) : buffer_(buffer) {}
  int32_t Int() {
    int32_t v = -99999;
    EXPECT_EQ(MPIWrapper_Unpack_INT(buffer_, &position_, &v), MPI_SUCCESS);
    return v;
  }
  int64_t Int64() {
    int64_t v = -99999;
    EXPECT_EQ(MPIWrapper_Unpack_INT64(buffer_, &position_, &v), MPI_SUCCESS);
    return v;
  }
  uint64_t Uint64() {
    uint64_t v = 0;
    EXPECT_EQ(MPIWrapper_Unpack_UINT64(buffer_, &position_, &v), MPI_SUCCESS);
    return v;
  }
  double Double() {
    double v = -1;
    EXPECT_EQ(MPIWrapper_Unpack_DOUBLE(buffer_, &position_, &v), MPI_SUCCESS);
    return v;
  }
  std::string Str() {
    char text[9000];
    EXPECT_EQ(MPIWrapper_Unpack_STR(buffer_, &position_, text, sizeof text), MPI_SUCCESS);
    return text;
  }
  std::vector<uint16_t> Array() {
    std::vector<uint16_t> values(1024);
    int32_t count = -1;
    EXPECT_EQ(MPIWrapper_Unpack_USHORT_ARRAY(buffer_, &position_, &count, values.data(), 1024), MPI_SUCCESS);
    values.resize(count < 0 ? 0 : count);
    return values;
  }
  int32_t position() const { return position_; }

 private:
  const char* buffer_;
  int32_t position_ = 0;
};

// A hand-made message, for contents no initialiser would produce.
struct RawMessage {
  Request* record = Request_Construct();
  ~RawMessage() { Request_Destruct(record); }
  void Int(int32_t v) { ASSERT_EQ(MPIWrapper_Pack_INT(v, record->buffer, &record->nPosition), MPI_SUCCESS); }
  void Array(const std::vector<uint16_t>& v) {
    ASSERT_EQ(MPIWrapper_Pack_USHORT_ARRAY(static_cast<int32_t>(v.size()), v.data(), record->buffer,
                                           &record->nPosition),
              MPI_SUCCESS);
  }
};

using RequestMessage = MessageTest;

TEST_F(RequestMessage, TypeNamesAndUndefinedValues) {
  EXPECT_STREQ(request_type_name(REQUEST_TYPE_UNDEFINED), "REQUEST_TYPE_UNDEFINED");
  EXPECT_STREQ(request_type_name(5), "REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION");
  EXPECT_STREQ(request_type_name(12), "REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST");
  EXPECT_STREQ(request_type_name(15), "REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT");
  EXPECT_STREQ(request_type_name(22), "REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER");
  EXPECT_STREQ(request_type_name(23), "<undefined>");
  EXPECT_STREQ(request_type_name(-1), "<undefined>");
  Request* request = Request_Construct();
  request->nType = REQUEST_TYPE_MASTER_STOP;
  EXPECT_STREQ(Request_GetTypeName(request), "REQUEST_TYPE_MASTER_STOP");
  EXPECT_STREQ(request->sTypeName, "REQUEST_TYPE_MASTER_STOP");
  Request_Destruct(request);
}

TEST_F(RequestMessage, TypesWithoutFieldsAreOnePackedInt) {
  using Init = int32_t (*)(Request*);
  const std::pair<Init, int32_t> plain[] = {
      {Request_InitRootMasterLogonInvitation, 1}, {Request_InitRootMasterLogoffInvitation, 2},
      {Request_InitRootMasterShutdown, 3},        {Request_InitRootMasterIdleInvitation, 4},
      {Request_InitRootMasterSupportSearch, 6},   {Request_InitRootMasterStopRemoteSearch, 7},
      {Request_InitRootMasterNewGame, 8},         {Request_InitNonRootMasterSyncAfterBroadcast, 12},
  };
  for (const auto& [init, type] : plain) {
    Request* sent = Request_Construct();
    ASSERT_EQ(init(sent), 0) << type;
    EXPECT_EQ(sent->nType, type);
    EXPECT_EQ(sent->nPosition, 4) << type;
    int32_t code = -1;
    Request* received = receive(sent, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(received->nType, type);
    EXPECT_EQ(received->nPosition, 4);
    Request_Destruct(received);
    Request_Destruct(sent);
  }
}

TEST_F(RequestMessage, SyncPositionCarriesTheManagersIdAndAtMost8000Characters) {
  manager_->nSyncPositionId = 41;
  const std::string line = "position startpos moves e2e4 e7e5";
  Request* sent = Request_Construct();
  ASSERT_EQ(Request_InitRootMasterSyncPosition(sent, line.c_str()), 0);
  WireReader wire(sent->buffer);
  EXPECT_EQ(wire.Int(), 5);
  EXPECT_EQ(wire.Int(), 41);
  EXPECT_EQ(wire.Str(), line);
  EXPECT_EQ(wire.position(), sent->nPosition);

  manager_->nSyncPositionId = 7;  // the receiver keeps the sender's id
  int32_t code = -1;
  Request* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nSyncPositionId, 41);
  EXPECT_STREQ(received->psSyncPosition, line.c_str());
  Request_Destruct(received);

  // A command of exactly 8000 characters still goes out whole.
  const std::string longest(8000, 'x');
  ASSERT_EQ(Request_InitRootMasterSyncPosition(sent, longest.c_str()), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(std::strlen(received->psSyncPosition), 8000u);
  Request_Destruct(received);
  Request_Destruct(sent);
}

TEST_F(RequestMessage, PositionCommandLongerThanTheFieldIsRefusedNotCut) {
  // Peers would set up another position than the root master under the same id.
  const std::string long_line(9000, 'x');
  Request* sent = Request_Construct();
  sent->nDestination = 0;
  EXPECT_EQ(Request_InitRootMasterSyncPosition(sent, long_line.c_str()), 15);
  EXPECT_EQ(sent->psSyncPosition, nullptr);
  EXPECT_NE(Request_Send(sent), 0);
  EXPECT_EQ(sent->mpiRequest, MPI_REQUEST_NULL);
  EXPECT_EQ(sent->bSendCancelled, 1);
  Request_Destruct(sent);
}

TEST_F(RequestMessage, OptionAndGoCommandTextsRoundTripAndAreCut) {
  Request* sent = Request_Construct();
  ASSERT_EQ(Request_InitRootMasterSetOption(sent, "Hash", "64"), 0);
  int32_t code = -1;
  Request* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_STREQ(received->psOptionName, "Hash");
  EXPECT_STREQ(received->psOptionValue, "64");
  Request_Destruct(received);

  const std::string long_value(2000, 'v');
  ASSERT_EQ(Request_InitRootMasterSetOption(sent, "Book File", long_value.c_str()), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(std::strlen(received->psOptionValue), 1024u);
  Request_Destruct(received);
  Request_Destruct(sent);

  sent = Request_Construct();
  ASSERT_EQ(Request_InitRootMasterRemoteTest(sent, "depth 9"), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nType, REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST);
  EXPECT_STREQ(received->psGoCommands, "depth 9");
  Request_Destruct(received);
  ASSERT_EQ(Request_InitRootMasterRemoteTest(sent, nullptr), 0);  // no go commands: an empty text
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_STREQ(received->psGoCommands, "");
  Request_Destruct(received);
  Request_Destruct(sent);
}

TEST_F(RequestMessage, MachineInfoCarriesEveryRanksNameIntoTheReceiversHandlers) {
  const char* names[] = {"alpha", "beta", "gamma"};
  manager_->nSize = 3;
  ProcessorHandler* handlers[3];
  for (int rank = 0; rank < 3; rank++) {
    handlers[rank] = ProcessorHandler_Construct(rank);
    std::strcpy(handlers[rank]->sProcessorName, names[rank]);
    manager_->pProcessorHandlers[rank] = handlers[rank];
  }
  Request* sent = Request_Construct();
  ASSERT_EQ(Request_InitRootMasterMachineInfo(sent), 0);
  WireReader wire(sent->buffer);
  EXPECT_EQ(wire.Int(), 11);
  for (const char* name : names) EXPECT_EQ(wire.Str(), name);

  for (ProcessorHandler* handler : handlers) handler->sProcessorName[0] = '\0';
  int32_t code = -1;
  Request* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  // Reading fills the record; the names reach the handlers when it is dispatched.
  ASSERT_EQ(received->nProcessorNameCount, 3);
  for (int rank = 0; rank < 3; rank++) {
    EXPECT_STREQ(Request_GetProcessorName(received, rank), names[rank]);
    EXPECT_STREQ(handlers[rank]->sProcessorName, "");
  }
  EXPECT_EQ(act_on(received), 0);
  for (int rank = 0; rank < 3; rank++) EXPECT_STREQ(handlers[rank]->sProcessorName, names[rank]);
  Request_Destruct(received);
  Request_Destruct(sent);
  for (ProcessorHandler* handler : handlers) ProcessorHandler_Destruct(handler);
}

TEST_F(RequestMessage, WorkRequestStopAndWindowUpdateRoundTrip) {
  Request* sent = Request_Construct();
  ASSERT_EQ(Request_InitSlaveTryToGetWork(sent, 12), 0);
  int32_t code = -1;
  Request* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nType, REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK);
  EXPECT_EQ(received->nSyncPositionId, 12);
  Request_Destruct(received);

  ASSERT_EQ(Request_InitMasterStop(sent, int64_t{1} << 40), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nType, REQUEST_TYPE_MASTER_STOP);
  EXPECT_EQ(received->nWorkId, int64_t{1} << 40);
  Request_Destruct(received);

  ASSERT_EQ(Request_InitMasterUpdateSearchWindow(sent, 77, -35, 120), 0);
  WireReader wire(sent->buffer);
  EXPECT_EQ(wire.Int(), 16);
  EXPECT_EQ(wire.Int64(), 77);
  EXPECT_EQ(wire.Int(), -35);
  EXPECT_EQ(wire.Int(), 120);
  EXPECT_EQ(wire.position(), sent->nPosition);
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nWorkId, 77);
  EXPECT_EQ(received->nAlpha, -35);
  EXPECT_EQ(received->nBeta, 120);
  Request_Destruct(received);
  Request_Destruct(sent);
}

TEST_F(RequestMessage, SlaveResultInWireOrderAndBackWithATerminatedPV) {
  manager_->nSyncPositionId = 9;
  const uint16_t pv[] = {796, 3380, 1234};
  Request* sent = Request_Construct();
  ASSERT_EQ(Request_InitSlaveProcessSearchResult(sent, 31, 4, 17, 796, -25, 3, 8, 14, 3, pv, 1, 1.5, 250000.0, 0.75,
                                                 int64_t{5} << 33, 0xFFFFFFFFFFull),
            0);
  WireReader wire(sent->buffer);
  EXPECT_EQ(wire.Int(), 15);
  EXPECT_EQ(wire.Int(), 9);  // the manager's position id
  EXPECT_EQ(wire.Int64(), 31);
  EXPECT_EQ(wire.Int(), 4);
  EXPECT_EQ(wire.Int(), 17);
  EXPECT_EQ(wire.Int(), 796);
  EXPECT_EQ(wire.Int(), -25);
  EXPECT_EQ(wire.Int(), 3);
  EXPECT_EQ(wire.Int(), 8);
  EXPECT_EQ(wire.Int(), 14);
  EXPECT_EQ(wire.Array(), (std::vector<uint16_t>{796, 3380, 1234}));
  EXPECT_EQ(wire.Int(), 1);
  EXPECT_EQ(wire.Double(), 1.5);
  EXPECT_EQ(wire.Double(), 250000.0);
  EXPECT_EQ(wire.Double(), 0.75);
  EXPECT_EQ(wire.Int64(), int64_t{5} << 33);
  EXPECT_EQ(wire.Uint64(), 0xFFFFFFFFFFull);
  EXPECT_EQ(wire.position(), sent->nPosition);

  int32_t code = -1;
  Request* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nSyncPositionId, 9);
  EXPECT_EQ(received->nWorkId, 31);
  EXPECT_EQ(received->nStackIndex, 4);
  EXPECT_EQ(received->nMoveListIndex, 17);
  EXPECT_EQ(received->nBestMove, 796);
  EXPECT_EQ(received->nBestValue, -25);
  EXPECT_EQ(received->nFlags, 3);
  EXPECT_EQ(received->nDepth, 8);
  EXPECT_EQ(received->nMaxDepth, 14);
  EXPECT_EQ(received->nPVLength, 3);
  EXPECT_EQ(received->PV[0], 796);
  EXPECT_EQ(received->PV[2], 1234);
  EXPECT_EQ(received->PV[3], 0);
  EXPECT_EQ(received->bPonderMoveOk, 1);
  EXPECT_EQ(received->dTime, 1.5);
  EXPECT_EQ(received->dSpeed, 250000.0);
  EXPECT_EQ(received->dCPU, 0.75);
  EXPECT_EQ(received->nNodes, int64_t{5} << 33);
  EXPECT_EQ(received->nTransUsed, 0xFFFFFFFFFFull);
  Request_Destruct(received);

  // An empty pv packs its count alone and arrives as a lone 0.
  ASSERT_EQ(Request_InitSlaveProcessSearchResult(sent, 1, 0, 0, 0, 0, 0, 1, 1, 0, nullptr, 0, 0, 0, 0, 0, 0), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nPVLength, 0);
  EXPECT_EQ(received->PV[0], 0);
  Request_Destruct(received);
  Request_Destruct(sent);
}

TEST_F(RequestMessage, CountsBeyondTheReceivingArraysAreRefused) {
  // A pv of 256 moves leaves no room for the terminating 0.
  std::vector<uint16_t> pv(256, 796);
  Request* sent = Request_Construct();
  ASSERT_EQ(Request_InitSlaveProcessSearchResult(sent, 1, 0, 0, 0, 0, 0, 1, 1, 256, pv.data(), 0, 0, 0, 0, 0, 0), 0);
  int32_t code = -1;
  Request* received = receive(sent, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(received->nPVLength, 0);
  Request_Destruct(received);
  ASSERT_EQ(Request_InitSlaveProcessSearchResult(sent, 1, 0, 0, 0, 0, 0, 1, 1, 255, pv.data(), 0, 0, 0, 0, 0, 0), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->PV[255], 0);
  Request_Destruct(received);
  Request_Destruct(sent);

  // History increments: 768 at most.
  RawMessage history;
  history.Int(REQUEST_TYPE_HISTORY_TABLE_REPLICATION);
  history.Int(1);
  history.Array(std::vector<uint16_t>(800, 1));
  received = receive(history.record, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(received->nHistoryTableCount, -1);
  Request_Destruct(received);

  // Strings: a position text beyond 8000 characters, an option name beyond 1024.
  RawMessage position;
  position.Int(REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION);
  position.Int(1);
  const std::string long_text(8001, 'p');
  ASSERT_EQ(MPIWrapper_Pack_STR(long_text.c_str(), position.record->buffer, &position.record->nPosition), 0);
  received = receive(position.record, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(received->psSyncPosition, nullptr);
  Request_Destruct(received);

  RawMessage option;
  option.Int(REQUEST_TYPE_ROOT_MASTER_SET_OPTION);
  ASSERT_EQ(MPIWrapper_Pack_STR(std::string(1025, 'n').c_str(), option.record->buffer, &option.record->nPosition), 0);
  received = receive(option.record, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(received->psOptionName, nullptr);
  Request_Destruct(received);
}

TEST_F(RequestMessage, UnknownTypesAreReadAloneAndRefusedByTheDispatcher) {
  for (int32_t type : {23, 99, -1}) {
    RawMessage raw;
    raw.Int(type);
    raw.Int(5);
    int32_t code = -1;
    Request* received = receive(raw.record, &code);
    EXPECT_EQ(code, 0) << type;
    EXPECT_EQ(received->nType, type);
    EXPECT_EQ(received->nSyncPositionId, -1);  // nothing read after the type
    EXPECT_EQ(act_on(received), 15);
    Request_Destruct(received);
  }
}

TEST_F(RequestMessage, MessagesBeyond8192BytesAreNotPackedAndNotSent) {
  // 5000 pv moves need about 10000 bytes.
  std::vector<uint16_t> pv(5000, 796);
  Request* sent = Request_Construct();
  sent->nDestination = 0;
  EXPECT_EQ(Request_InitSlaveProcessSearchResult(sent, 1, 0, 0, 0, 0, 0, 1, 1, 5000, pv.data(), 0, 0, 0, 0, 0, 0),
            MPI_ERR_TRUNCATE);
  EXPECT_EQ(Request_Send(sent), MPI_ERR_TRUNCATE);
  EXPECT_EQ(sent->mpiRequest, MPI_REQUEST_NULL);
  EXPECT_EQ(sent->bSendCancelled, 1);  // its queue frees it instead of waiting for it
  EXPECT_FALSE(Request_IsSendPending(sent));
  Request_Destruct(sent);

  // 64 host names of 128 characters do not fit either.
  manager_->nSize = 64;
  std::vector<ProcessorHandler*> handlers;
  for (int rank = 0; rank < 64; rank++) {
    handlers.push_back(ProcessorHandler_Construct(rank));
    std::memset(handlers.back()->sProcessorName, 'h', 128);
    manager_->pProcessorHandlers[rank] = handlers.back();
  }
  sent = Request_Construct();
  EXPECT_EQ(Request_InitRootMasterMachineInfo(sent), MPI_ERR_TRUNCATE);
  Request_Destruct(sent);
  for (ProcessorHandler* handler : handlers) ProcessorHandler_Destruct(handler);

  // A record that no initialiser packed is not sent.
  sent = Request_Construct();
  sent->nDestination = 0;
  EXPECT_NE(Request_Send(sent), 0);
  EXPECT_EQ(sent->mpiRequest, MPI_REQUEST_NULL);
  Request_Destruct(sent);
}

class HashTableChunk : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    option_reset_all();
    trans_alloc(&table_, 4, manager_->nRank, false);
    saved_trans_ = Trans;
    Trans = &table_;
    MessageContext_GetInstance()->pReceiveHashTableBuffer = &receive_buffer_;
    manager_->bLoggedOn = 1;
    manager_->bNoTransStore = 0;
  }
  void TearDown() override {
    Trans = saved_trans_;
    trans_release(&table_);
    MessageTest::TearDown();
  }

  // A chunk as the broadcast builds it: header from the initialiser, entries appended.
  Request* chunk_of_two() {
    Request* shared = Request_Construct();
    EXPECT_EQ(Request_InitHashTableBroadcastBuffer(shared, &send_buffer_), 0);
    for (int i = 0; i < 2; i++) {
      EXPECT_EQ(MPIWrapper_Pack_UINT64(kKeys[i], shared->buffer, &shared->nPosition), 0);
      EXPECT_EQ(MPIWrapper_Pack_INT(100 + i, shared->buffer, &shared->nPosition), 0);
      EXPECT_EQ(MPIWrapper_Pack_INT(6, shared->buffer, &shared->nPosition), 0);
      EXPECT_EQ(MPIWrapper_Pack_INT(TRANS_BOUND_LOWER, shared->buffer, &shared->nPosition), 0);
      EXPECT_EQ(MPIWrapper_Pack_INT(40 + i, shared->buffer, &shared->nPosition), 0);
    }
    return shared;
  }

  bool stored(int i) {
    entry_t* entry;
    int move, depth, bound, value;
    return trans_probe(&table_, kKeys[i], &entry, &move, &depth, &bound, &value) && move == 100 + i &&
           depth == 6 && value == 40 + i;
  }

  static constexpr uint64_t kKeys[2] = {0x123456789ABCDEF0ull, 0x0FEDCBA987654321ull};
  trans_t table_{};
  trans_t* saved_trans_ = nullptr;
  HashTableBuffer send_buffer_{256, 0, 2, nullptr};
  HashTableBuffer receive_buffer_{256, 0, 64, nullptr};
};

TEST_F(HashTableChunk, BroadcastBufferGoesOutAsReplicationAndIsStored) {
  Request* shared = chunk_of_two();
  WireReader wire(shared->buffer);
  EXPECT_EQ(wire.Int(), REQUEST_TYPE_HASH_TABLE_REPLICATION);
  EXPECT_EQ(wire.Int(), 2);
  int32_t code = -1;
  Request* received = receive(shared, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nType, REQUEST_TYPE_HASH_TABLE_REPLICATION);
  EXPECT_EQ(received->nHashTableEntryCount, 2);
  EXPECT_EQ(received->HashTableEntries[1].nKey, kKeys[1]);
  EXPECT_FALSE(stored(0));  // reading stores nothing
  EXPECT_EQ(receive_buffer_.nCount, 0);
  EXPECT_EQ(act_on(received), 0);
  EXPECT_EQ(received->pHashTableBuffer, &receive_buffer_);
  EXPECT_EQ(receive_buffer_.nCount, 2);
  EXPECT_TRUE(stored(0));
  EXPECT_TRUE(stored(1));
  Request_Destruct(received);
  Request_Destruct(shared);
}

TEST_F(HashTableChunk, ReadButNotStoredDuringAHashChangeOrBeforeLogOn) {
  Request* shared = chunk_of_two();
  manager_->bNoTransStore = 1;
  int32_t code = -1;
  Request* received = receive(shared, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(act_on(received), 0);
  EXPECT_EQ(receive_buffer_.nCount, 2);
  EXPECT_FALSE(stored(0));
  Request_Destruct(received);
  manager_->bNoTransStore = 0;
  manager_->bLoggedOn = 0;
  received = receive(shared, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(act_on(received), 0);
  EXPECT_FALSE(stored(1));
  Request_Destruct(received);
  Request_Destruct(shared);
}

TEST_F(HashTableChunk, CountBeyondAChunkIsRefusedBeforeAnyEntryIsRead) {
  RawMessage raw;
  raw.Int(REQUEST_TYPE_HASH_TABLE_REPLICATION);
  raw.Int(257);
  int32_t code = -1;
  Request* received = receive(raw.record, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(receive_buffer_.nCount, 0);
  Request_Destruct(received);

  raw.record->nPosition = 0;
  raw.Int(REQUEST_TYPE_HASH_TABLE_REPLICATION);
  raw.Int(-1);
  received = receive(raw.record, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  Request_Destruct(received);
}

TEST_F(RequestMessage, SharedBroadcastRecordLivesUntilItsLastPeerRecordAndItsBroadcastEnd) {
  uint16_t increments[HistorySize] = {};
  increments[5] = 9;
  MessageContext_GetInstance()->pHistoryTableBuffer = increments;
  manager_->nSyncPositionId = 4;
  Request* shared = Request_Construct();
  ASSERT_EQ(Request_InitHistoryTableBroadcastBuffer(shared), 0);
  WireReader wire(shared->buffer);
  EXPECT_EQ(wire.Int(), REQUEST_TYPE_HISTORY_TABLE_REPLICATION);
  EXPECT_EQ(wire.Int(), 4);
  EXPECT_EQ(wire.Array().size(), static_cast<size_t>(HistorySize));

  shared->bBroadcastInProgress = 1;
  Request* peer1 = Request_Construct();
  Request* peer2 = Request_Construct();
  ASSERT_EQ(Request_InitHistoryTableReplication(peer1, shared), 0);
  ASSERT_EQ(Request_InitHistoryTableReplication(peer2, shared), 0);
  EXPECT_EQ(shared->nReferenceCount, 2);
  Request_Destruct(peer1);
  EXPECT_EQ(shared->nReferenceCount, 1);
  Request_Destruct(peer2);  // the broadcast still runs: the shared record stays
  EXPECT_EQ(shared->nReferenceCount, 0);
  EXPECT_EQ(shared->nType, REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER);
  shared->bBroadcastInProgress = 0;
  Request_Destruct(shared);

  // Without the accumulated increments there is nothing to pack.
  MessageContext_GetInstance()->pHistoryTableBuffer = nullptr;
  shared = Request_Construct();
  EXPECT_EQ(Request_InitHistoryTableBroadcastBuffer(shared), 15);
  Request_Destruct(shared);
}

class HistoryMerge : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    scope_ = new HistoryBlockScope;
    manager_->bHistoryTablesReady = 1;
    manager_->nSyncPositionId = 6;
    manager_->bLoggedOn = 1;
  }
  void TearDown() override {
    delete scope_;
    MessageTest::TearDown();
  }
  HistoryBlockScope* scope_ = nullptr;
};

TEST_F(HistoryMerge, HistoryIncrementsAreAddedOnlyForThisPositionWhenLoggedOn) {
  uint16_t increments[HistorySize] = {};
  increments[10] = 25;
  increments[700] = 4;
  MessageContext_GetInstance()->pHistoryTableBuffer = increments;
  Request* shared = Request_Construct();
  ASSERT_EQ(Request_InitHistoryTableBroadcastBuffer(shared), 0);
  gpHistory->History[10] = 100;

  int32_t code = -1;
  Request* received = receive(shared, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nHistoryTableCount, HistorySize);
  EXPECT_EQ(gpHistory->History[10], 100);  // reading merges nothing
  EXPECT_EQ(act_on(received), 0);
  EXPECT_EQ(gpHistory->History[10], 125);
  EXPECT_EQ(gpHistory->History[700], 4);
  Request_Destruct(received);

  manager_->nSyncPositionId = 7;  // a message about an earlier position is ignored
  received = receive(shared, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(act_on(received), 0);
  EXPECT_EQ(gpHistory->History[10], 125);
  Request_Destruct(received);
  manager_->nSyncPositionId = 6;
  manager_->bLoggedOn = 0;
  received = receive(shared, &code);
  EXPECT_EQ(act_on(received), 0);
  EXPECT_EQ(gpHistory->History[10], 125);
  Request_Destruct(received);

  // A sum beyond 16383 halves the whole table once.
  manager_->bLoggedOn = 1;
  gpHistory->History[10] = 16370;
  gpHistory->History[11] = 9;
  received = receive(shared, &code);
  EXPECT_EQ(act_on(received), 0);
  EXPECT_EQ(gpHistory->History[10], (16395 + 1) / 2);
  EXPECT_EQ(gpHistory->History[11], 5);
  Request_Destruct(received);
  Request_Destruct(shared);
}

TEST_F(HistoryMerge, HitAndTotalIncrementsAreAddedAndHalvedPerIndex) {
  uint16_t total[HistorySize] = {};
  uint16_t hit[HistorySize] = {};
  total[3] = 10;
  hit[3] = 4;
  total[4] = 20;
  MessageContext_GetInstance()->pHistTotTableBuffer = total;
  MessageContext_GetInstance()->pHistHitTableBuffer = hit;
  Request* shared = Request_Construct();
  ASSERT_EQ(Request_InitHistTotTableBroadcastBuffer(shared), 0);
  WireReader wire(shared->buffer);
  EXPECT_EQ(wire.Int(), REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION);
  EXPECT_EQ(wire.Int(), 6);
  EXPECT_EQ(wire.Array()[3], 10);  // totals first, then hits
  EXPECT_EQ(wire.Array()[3], 4);

  gpHistory->HistTot[4] = 16380;
  gpHistory->HistHit[4] = 101;
  manager_->bLoggedOn = 0;  // not needed for these increments
  int32_t code = -1;
  Request* received = receive(shared, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(gpHistory->HistTot[3], 1);  // reading merges nothing
  EXPECT_EQ(act_on(received), 0);
  EXPECT_EQ(gpHistory->HistTot[3], 11);
  EXPECT_EQ(gpHistory->HistHit[3], 5);
  EXPECT_EQ(gpHistory->HistTot[4], (16400 + 1) / 2);
  EXPECT_EQ(gpHistory->HistHit[4], 51);
  EXPECT_EQ(gpHistory->HistTot[5], 1);
  Request_Destruct(received);
  Request_Destruct(shared);
}

TEST_F(RequestMessage, SentToItselfArrivesWithTagOneAndCompletes) {
  Request* sent = Request_Construct();
  sent->nDestination = 0;
  EXPECT_TRUE(Request_IsSendPending(sent));  // not issued yet
  ASSERT_EQ(Request_InitMasterUpdateSearchWindow(sent, 5, 10, 20), 0);
  ASSERT_EQ(Request_Send(sent), 0);

  int32_t flag = 0;
  MPI_Status status;
  ASSERT_EQ(MPIWrapper_Iprobe(MESSAGE_TAG_RESULT, &flag, &status), 0);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(MPIWrapper_Iprobe(MESSAGE_TAG_REQUEST, &flag, &status), 0);
  ASSERT_EQ(flag, 1);
  Request* received = Request_Construct();
  received->nSource = status.MPI_SOURCE;
  ASSERT_EQ(MPIWrapper_Recv(received->buffer, status.MPI_SOURCE, MESSAGE_TAG_REQUEST, &status), 0);
  ASSERT_EQ(Request_GetParameterFromBuffer(received), 0);
  EXPECT_EQ(received->nType, REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW);
  EXPECT_EQ(received->nWorkId, 5);
  EXPECT_EQ(received->nBeta, 20);
  EXPECT_FALSE(Request_IsSendPending(sent));
  Request_Destruct(received);
  Request_Destruct(sent);

  Request* cancelled = Request_Construct();
  cancelled->bSendCancelled = 1;
  EXPECT_FALSE(Request_IsSendPending(cancelled));
  Request_Destruct(cancelled);
}

}  // namespace
