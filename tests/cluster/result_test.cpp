#include "cluster/result.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "../chess/history_test_util.h"
#include "cluster/message_dispatch.h"
#include "message_test_util.h"

namespace {

Result* receive(const Result* sent, int32_t* code) {
  Result* received = Result_Construct();
  std::memcpy(received->buffer, sent->buffer, kPackBufferSize);
  received->nSource = 2;
  *code = Result_GetParameterFromBuffer(received);
  return received;
}

int32_t wire_int(const char* buffer, int32_t* position) {
  int32_t v = -99999;
  EXPECT_EQ(MPIWrapper_Unpack_INT(buffer, position, &v), MPI_SUCCESS);
  return v;
}

int32_t wire_array(const char* buffer, int32_t* position, std::vector<uint16_t>* values) {
  values->assign(1024, 0);
  int32_t count = -1;
  EXPECT_EQ(MPIWrapper_Unpack_USHORT_ARRAY(buffer, position, &count, values->data(), 1024), MPI_SUCCESS);
  values->resize(count < 0 ? 0 : count);
  return count;
}

class ResultMessage : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    manager_->pConfiguration->bTransmitHistoryTable = 0;
    manager_->pConfiguration->bTransmitHistTotTable = 0;
  }

  // A work item with a move-ahead list and killers of the given lengths.
  int32_t init_work(Result* result, int32_t played, int32_t move_ahead_count = 3, int32_t killer_count = 4) {
    move_ahead_.assign(move_ahead_count < 0 ? 0 : move_ahead_count, 0);
    for (size_t i = 0; i < move_ahead_.size(); i++) move_ahead_[i] = static_cast<uint16_t>(100 + i);
    killers_.assign(killer_count < 0 ? 0 : killer_count, 0);
    for (size_t i = 0; i < killers_.size(); i++) killers_[i] = static_cast<uint16_t>(2000 + i);
    return Result_InitMasterWorkAvailable(result, 5, 12, 2, 230, 796, 9, 8, 4, 1, 1, played, 321, -40, 55, 7, 1,
                                          move_ahead_count, move_ahead_.data(), killer_count, killers_.data());
  }

  std::vector<uint16_t> move_ahead_;
  std::vector<uint16_t> killers_;
};

TEST_F(ResultMessage, TypeNamesAndUndefinedValues) {
  EXPECT_STREQ(result_type_name(RESULT_TYPE_UNDEFINED), "RESULT_TYPE_UNDEFINED");
  EXPECT_STREQ(result_type_name(1), "RESULT_TYPE_NON_ROOT_MASTER_LOGON");
  EXPECT_STREQ(result_type_name(7), "RESULT_TYPE_MASTER_NO_WORK_AVAILABLE");
  EXPECT_STREQ(result_type_name(8), "RESULT_TYPE_MASTER_WORK_AVAILABLE");
  EXPECT_STREQ(result_type_name(9), "RESULT_TYPE_SYNC_AFTER_BROADCAST");
  EXPECT_STREQ(result_type_name(10), "<undefined>");
  EXPECT_STREQ(result_type_name(-3), "<undefined>");
  Result* result = Result_Construct();
  result->nType = RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION;
  EXPECT_STREQ(Result_GetTypeName(result), "RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION");
  result->nType = 42;
  EXPECT_STREQ(Result_GetTypeName(result), "<undefined>");
  Result_Destruct(result);
}

TEST_F(ResultMessage, TypesWithoutFieldsAreOnePackedInt) {
  using Init = int32_t (*)(Result*);
  const std::pair<Init, int32_t> plain[] = {
      {Result_InitNonRootMasterShutdown, 3},
      {Result_InitNonRootMasterSyncNewGame, 5},
      {Result_InitNonRootMasterSyncSetOption, 6},
      {Result_InitSyncAfterBroadcast, 9},
  };
  for (const auto& [init, type] : plain) {
    Result* sent = Result_Construct();
    ASSERT_EQ(init(sent), 0);
    EXPECT_EQ(sent->nPosition, 4) << type;
    int32_t code = -1;
    Result* received = receive(sent, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(received->nType, type);
    Result_Destruct(received);
    Result_Destruct(sent);
  }
}

TEST_F(ResultMessage, LogonCarriesTheHostNameAndLogoffTheNodeCount) {
  char name[MPI_MAX_PROCESSOR_NAME + 1];
  int32_t length = 0;
  ASSERT_EQ(MPIWrapper_Get_processor_name(name, &length), 0);
  Result* sent = Result_Construct();
  ASSERT_EQ(Result_InitNonRootMasterLogon(sent), 0);
  int32_t code = -1;
  Result* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nType, RESULT_TYPE_NON_ROOT_MASTER_LOGON);
  EXPECT_STREQ(received->sProcessorName, name);
  Result_Destruct(received);

  manager_->nTotalNodes = int64_t{123456789} * 1000;
  ASSERT_EQ(Result_InitNonRootMasterLogoff(sent), 0);
  manager_->nTotalNodes = 0;
  received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nTotalNodes, int64_t{123456789} * 1000);
  Result_Destruct(received);
  Result_Destruct(sent);
}

TEST_F(ResultMessage, RemoteTestResultRoundTripsWithATerminatedPV) {
  const uint16_t pv[] = {796, 3380};
  Result* sent = Result_Construct();
  ASSERT_EQ(Result_InitNonRootMasterRemoteTest(sent, 796, 29990, 3, 12, 20, 2, pv, 1, 3.25, 1.0e6, 0.5, 987654321),
            0);
  int32_t position = 0;
  EXPECT_EQ(wire_int(sent->buffer, &position), 4);
  EXPECT_EQ(wire_int(sent->buffer, &position), 796);
  EXPECT_EQ(wire_int(sent->buffer, &position), 29990);

  int32_t code = -1;
  Result* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nBestMove, 796);
  EXPECT_EQ(received->nBestValue, 29990);
  EXPECT_EQ(received->nFlags, 3);
  EXPECT_EQ(received->nDepth, 12);
  EXPECT_EQ(received->nMaxDepth, 20);
  EXPECT_EQ(received->nPVLength, 2);
  EXPECT_EQ(received->PV[1], 3380);
  EXPECT_EQ(received->PV[2], 0);
  EXPECT_EQ(received->bPonderMoveOk, 1);
  EXPECT_EQ(received->dTime, 3.25);
  EXPECT_EQ(received->dSpeed, 1.0e6);
  EXPECT_EQ(received->dCPU, 0.5);
  EXPECT_EQ(received->nNodes, 987654321);
  Result_Destruct(received);

  std::vector<uint16_t> long_pv(300, 796);
  ASSERT_EQ(Result_InitNonRootMasterRemoteTest(sent, 1, 0, 0, 1, 1, 300, long_pv.data(), 0, 0, 0, 0, 0), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(received->nPVLength, 0);
  Result_Destruct(received);
  Result_Destruct(sent);
}

TEST_F(ResultMessage, NoWorkAvailableAnswersWithTheAskingPositionId) {
  manager_->nSyncPositionId = 50;
  Result* sent = Result_Construct();
  ASSERT_EQ(Result_InitMasterNoWorkAvailable(sent, 48), 0);
  int32_t code = -1;
  Result* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nType, RESULT_TYPE_MASTER_NO_WORK_AVAILABLE);
  EXPECT_EQ(received->nSyncPositionId, 48);
  Result_Destruct(received);
  Result_Destruct(sent);
}

TEST_F(ResultMessage, WorkItemInWireOrderAndBack) {
  manager_->nSyncPositionId = 17;
  Result* sent = Result_Construct();
  ASSERT_EQ(init_work(sent, 3), 0);
  const int32_t expected_ints[] = {8, 17};
  int32_t position = 0;
  for (int32_t v : expected_ints) EXPECT_EQ(wire_int(sent->buffer, &position), v);
  int64_t work_id = 0;
  ASSERT_EQ(MPIWrapper_Unpack_INT64(sent->buffer, &position, &work_id), 0);
  EXPECT_EQ(work_id, sent->nWorkId);
  // nStackIndex .. bGoodCap.
  const int32_t fields[] = {5, 12, 2, 230, 796, 9, 8, 4, 1, 1, 3, 321, -40, 55, 7, 1};
  for (int32_t v : fields) EXPECT_EQ(wire_int(sent->buffer, &position), v);
  std::vector<uint16_t> list;
  EXPECT_EQ(wire_array(sent->buffer, &position, &list), 3);
  EXPECT_EQ(list, move_ahead_);
  EXPECT_EQ(wire_array(sent->buffer, &position, &list), 4);
  EXPECT_EQ(list, killers_);
  EXPECT_EQ(position, sent->nPosition);  // no tables attached

  int32_t code = -1;
  Result* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nSyncPositionId, 17);
  EXPECT_EQ(received->nWorkId, sent->nWorkId);
  EXPECT_EQ(received->nStackIndex, 5);
  EXPECT_EQ(received->nMoveListIndex, 12);
  EXPECT_EQ(received->nCallType, 2);
  EXPECT_EQ(received->nReturnPosition, 230);
  EXPECT_EQ(received->nMove, 796);
  EXPECT_EQ(received->nDepth, 9);
  EXPECT_EQ(received->nNewDepth, 8);
  EXPECT_EQ(received->nHeight, 4);
  EXPECT_EQ(received->bExtended, 1);
  EXPECT_EQ(received->bInPV, 1);
  EXPECT_EQ(received->nPlayedNb, 3);
  EXPECT_EQ(received->bNoMovePlayedYet, 0);
  EXPECT_EQ(received->nHistoryValue, 321);
  EXPECT_EQ(received->nAlpha, -40);
  EXPECT_EQ(received->nBeta, 55);
  EXPECT_EQ(received->nTransDate, 7);
  EXPECT_EQ(received->bGoodCap, 1);
  EXPECT_EQ(received->nMoveAheadListCount, 3);
  EXPECT_EQ(received->MoveAheadList[2], 102);
  EXPECT_EQ(received->nKillerListCount, 4);
  EXPECT_EQ(received->KillerList[3], 2003);
  EXPECT_EQ(received->nHistoryTableCount, -1);
  Result_Destruct(received);

  ASSERT_EQ(init_work(sent, 0), 0);
  received = receive(sent, &code);
  EXPECT_EQ(received->bNoMovePlayedYet, 1);
  Result_Destruct(received);
  Result_Destruct(sent);
}

TEST_F(ResultMessage, WorkIdsCountUpFromOneAcrossAllWorkItems) {
  Result* first = Result_Construct();
  Result* second = Result_Construct();
  ASSERT_EQ(init_work(first, 1), 0);
  first->nDestination = 1;
  ASSERT_EQ(init_work(second, 1), 0);
  second->nDestination = 2;
  EXPECT_EQ(first->nWorkId, 1);
  EXPECT_EQ(second->nWorkId, 2);
  EXPECT_EQ(MessageContext_GetInstance()->nWorkIdCounter, 2);
  Result_Destruct(first);
  Result_Destruct(second);
}

TEST_F(ResultMessage, ListsBeyondTheReceivingArraysAreRefused) {
  Result* sent = Result_Construct();
  int32_t code = -1;
  ASSERT_EQ(init_work(sent, 1, 256, 512), 0);  // the largest lists that fit
  Result* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->KillerList[511], 2511);
  Result_Destruct(received);

  ASSERT_EQ(init_work(sent, 1, 257, 4), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(received->nMoveAheadListCount, -1);
  Result_Destruct(received);

  ASSERT_EQ(init_work(sent, 1, 3, 513), 0);
  received = receive(sent, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  EXPECT_EQ(received->nKillerListCount, -1);
  Result_Destruct(received);
  Result_Destruct(sent);
}

TEST_F(ResultMessage, WorkItemReplacesTheHistoryTablesOnlyWhenAllArriveWhole) {
  HistoryBlockScope scope;
  manager_->pConfiguration->bTransmitHistoryTable = 1;
  manager_->pConfiguration->bTransmitHistTotTable = 1;
  for (int i = 0; i < HistorySize; i++) {
    gpHistory->History[i] = static_cast<uint16_t>(i);
    gpHistory->HistTot[i] = static_cast<uint16_t>(3 * i + 1);
    gpHistory->HistHit[i] = static_cast<uint16_t>(i / 2);
  }
  const history_block_t sender = *gpHistory;
  Result* sent = Result_Construct();
  ASSERT_EQ(init_work(sent, 1, 256, 512), 0);  // the largest work item still fits
  EXPECT_LE(sent->nPosition, kPackBufferSize);

  for (int i = 0; i < HistorySize; i++) gpHistory->History[i] = gpHistory->HistTot[i] = gpHistory->HistHit[i] = 9;
  int32_t code = -1;
  Result* received = receive(sent, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(received->nHistoryTableCount, HistorySize);
  EXPECT_EQ(received->nHistHitTableCount, HistorySize);
  EXPECT_EQ(received->HistTotTable[5], sender.HistTot[5]);
  EXPECT_EQ(gpHistory->History[5], 9);  // reading replaces nothing
  // Taken over when the work item is dispatched to a node waiting for work.
  // (The item itself does not fit the position here: it is refused and
  // answered, to a sender this test's world does not have.)
  manager_->nState = NODE_STATE_WAITING_FOR_WORK;
  ResultDispatcher_Dispatch(received);
  EXPECT_EQ(std::memcmp(gpHistory->History, sender.History, sizeof sender.History), 0);
  EXPECT_EQ(std::memcmp(gpHistory->HistTot, sender.HistTot, sizeof sender.HistTot), 0);
  EXPECT_EQ(std::memcmp(gpHistory->HistHit, sender.HistHit, sizeof sender.HistHit), 0);
  Result_Destruct(received);

  // The total table's count is damaged: nothing is replaced, not even History.
  int32_t position = 0;
  int32_t value = 0;
  for (int field = 0; field < 2 + 2 + 16; field++)  // type, id, work id (two ints' worth), the int fields
    ASSERT_EQ(MPIWrapper_Unpack_INT(sent->buffer, &position, &value), 0);
  std::vector<uint16_t> skip;
  for (int array = 0; array < 3; array++) wire_array(sent->buffer, &position, &skip);
  int32_t damaged = position;
  ASSERT_EQ(MPIWrapper_Pack_INT(HistorySize + 1, sent->buffer, &damaged), 0);
  for (int i = 0; i < HistorySize; i++) gpHistory->History[i] = 9;
  received = receive(sent, &code);
  EXPECT_EQ(code, MPI_ERR_TRUNCATE);
  manager_->nState = NODE_STATE_WAITING_FOR_WORK;
  EXPECT_EQ(ResultDispatcher_Dispatch(received), 15);
  for (int i = 0; i < HistorySize; i++) ASSERT_EQ(gpHistory->History[i], 9) << i;
  Result_Destruct(received);
  Result_Destruct(sent);
}

TEST_F(ResultMessage, UnknownTypesAreReadAloneAndRefusedByTheDispatcher) {
  for (int32_t type : {10, 1000, -8}) {
    Result* raw = Result_Construct();
    ASSERT_EQ(MPIWrapper_Pack_INT(type, raw->buffer, &raw->nPosition), 0);
    ASSERT_EQ(MPIWrapper_Pack_INT(7, raw->buffer, &raw->nPosition), 0);
    int32_t code = -1;
    Result* received = receive(raw, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(received->nType, type);
    EXPECT_EQ(received->nSyncPositionId, -2);  // nothing read after the type
    EXPECT_EQ(ResultDispatcher_Dispatch(received), 15);
    Result_Destruct(received);
    Result_Destruct(raw);
  }
}

TEST_F(ResultMessage, OversizedWorkItemIsNotPackedAndNotSent) {
  Result* sent = Result_Construct();
  sent->nDestination = 0;
  EXPECT_EQ(init_work(sent, 1, 3, 4100), MPI_ERR_TRUNCATE);
  EXPECT_EQ(Result_Send(sent), MPI_ERR_TRUNCATE);
  EXPECT_EQ(sent->mpiRequest, MPI_REQUEST_NULL);
  EXPECT_EQ(sent->bSendCancelled, 1);
  EXPECT_FALSE(Result_IsSendPending(sent));
  Result_Destruct(sent);

  // With the history tables attached but no history block there is nothing to send.
  manager_->pConfiguration->bTransmitHistoryTable = 1;
  history_block_t* block = gpHistory;
  gpHistory = nullptr;
  sent = Result_Construct();
  EXPECT_EQ(init_work(sent, 1), 15);
  gpHistory = block;
  Result_Destruct(sent);
}

TEST_F(ResultMessage, SentToItselfArrivesWithTagTwo) {
  Result* sent = Result_Construct();
  sent->nDestination = 0;
  ASSERT_EQ(Result_InitMasterNoWorkAvailable(sent, 33), 0);
  ASSERT_EQ(Result_Send(sent), 0);
  int32_t flag = 0;
  MPI_Status status;
  ASSERT_EQ(MPIWrapper_Iprobe(MESSAGE_TAG_REQUEST, &flag, &status), 0);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(MPIWrapper_Iprobe(MESSAGE_TAG_RESULT, &flag, &status), 0);
  ASSERT_EQ(flag, 1);
  Result* received = Result_Construct();
  ASSERT_EQ(MPIWrapper_Recv(received->buffer, status.MPI_SOURCE, MESSAGE_TAG_RESULT, &status), 0);
  ASSERT_EQ(Result_GetParameterFromBuffer(received), 0);
  EXPECT_EQ(received->nType, RESULT_TYPE_MASTER_NO_WORK_AVAILABLE);
  EXPECT_EQ(received->nSyncPositionId, 33);
  EXPECT_FALSE(Result_IsSendPending(sent));
  Result_Destruct(received);
  Result_Destruct(sent);
}

}  // namespace
