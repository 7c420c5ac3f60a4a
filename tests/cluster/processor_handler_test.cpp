#include "cluster/processor_handler.h"

#include <gtest/gtest.h>

#include <string>

#include "base/timer.h"
#include "cluster/message_send.h"
#include "service_test_util.h"

namespace {

// A send that stays incomplete until the test completes it: the handle of a
// receive posted on a tag nobody else uses, completed by a message to it.
class PendingSend {
 public:
  explicit PendingSend(int tag) : tag_(tag) {
    MPI_Irecv(&value_, 1, MPI_INT, 0, tag_, MPI_COMM_WORLD, &handle_);
  }
  MPI_Request handle() const { return handle_; }
  void complete() {
    static int one = 1;
    MPI_Request send;
    MPI_Isend(&one, 1, MPI_INT, 0, tag_, MPI_COMM_WORLD, &send);
    MPI_Wait(&send, MPI_STATUS_IGNORE);
  }

 private:
  int tag_;
  int value_ = 0;
  MPI_Request handle_ = MPI_REQUEST_NULL;
};

using ProcessorHandlerQueues = ServiceTest;

TEST_F(ProcessorHandlerQueues, ASendToAnIdlePeerIsFreedBeforeItReturns) {
  EXPECT_EQ(send_request(0, "test", "Request_InitMasterStop", [](Request* r) { return Request_InitMasterStop(r, 3); }),
            0);
  EXPECT_EQ(handler0_->nBufferedRequestCount, 0);
  EXPECT_EQ(handler0_->nBufferedResultCount, 0);
  EXPECT_EQ(handler0_->pHeadRequest, nullptr);
  EXPECT_EQ(handler0_->nBufferedRequestCountMax, 1);
  drain();
  EXPECT_EQ(requests_, (std::vector<int32_t>{REQUEST_TYPE_MASTER_STOP}));
}

TEST_F(ProcessorHandlerQueues, OnlyTheHeadIsTestedSoRecordsAreFreedInOrder) {
  PendingSend pending(71);
  Request* first = ProcessorHandler_CreateRequest(handler0_);
  first->mpiRequest = pending.handle();
  Request* second = ProcessorHandler_CreateRequest(handler0_);
  second->bSendCancelled = 1;  // complete, without a test
  ProcessorHandler_CleanupForCompletedSends(handler0_);
  EXPECT_EQ(handler0_->nBufferedRequestCount, 2);
  EXPECT_EQ(handler0_->pHeadRequest, first);
  pending.complete();
  ProcessorHandler_CleanupForCompletedSends(handler0_);
  EXPECT_EQ(handler0_->nBufferedRequestCount, 0);
  EXPECT_EQ(handler0_->pTailRequest, nullptr);
}

TEST_F(ProcessorHandlerQueues, ASendThatWasNeverIssuedIsDroppedAndTheQueueMovesOn) {
  // Rank 1 is not in this MPI job: its sends fail at once.
  ProcessorHandler* absent = manager_->pProcessorHandlers[1];
  LogCapture log(1);
  EXPECT_NE(send_request(1, "test", "Request_InitMasterStop", [](Request* r) { return Request_InitMasterStop(r, 1); }),
            0);
  ProcessorHandler_CleanupForCompletedSends(absent);
  EXPECT_EQ(absent->nBufferedRequestCount, 0);
  // A record created and then abandoned without a send does not block either.
  Request* abandoned = ProcessorHandler_CreateRequest(absent);
  ASSERT_NE(abandoned, nullptr);
  EXPECT_EQ(ProcessorHandler_ForcedWaitForAllSendsCompleted(absent), 0);
  EXPECT_EQ(absent->nBufferedRequestCount, 0);
  const std::string text = log.text();
  EXPECT_NE(text.find("ERROR Request_Send(... failed at MPIWrapper_Isend(..., errorcode = "), std::string::npos);
  EXPECT_NE(text.find("not sent, dropped from its queue\n"), std::string::npos);
  EXPECT_NE(text.find("ERROR ProcessorHandler <1> transmission of pHeadRequest was never issued, dropped\n"),
            std::string::npos);
}

TEST_F(ProcessorHandlerQueues, AFullQueueWaitsServicingThenGrowsOnceThenRefuses) {
  ProcessorHandlerWaits_GetInstance()->nFullQueueMs = 150;
  manager_->pConfiguration->nMaxBufferedResultCount = 1;
  manager_->nCleanupActionsCounter = 0;
  PendingSend pending(72);
  Result* head = ProcessorHandler_CreateResult(handler0_);
  head->mpiRequest = pending.handle();
  // Messages that arrive meanwhile are serviced while the queue is full.
  post_request([](Request* r) { return Request_InitMasterStop(r, 8); });

  LogCapture log(3);
  Result* beyond = ProcessorHandler_CreateResult(handler0_);
  ASSERT_NE(beyond, nullptr);  // after the wait: appended beyond the maximum
  EXPECT_EQ(requests_, (std::vector<int32_t>{REQUEST_TYPE_MASTER_STOP}));
  EXPECT_EQ(handler0_->nBufferedResultCount, 2);
  EXPECT_EQ(handler0_->nBufferedResultCountMax, 2);
  // The wait paused between its rounds instead of spinning: in 150 ms far
  // fewer service calls than an unpaused loop makes.
  EXPECT_LT(manager_->nCleanupActionsCounter, 1000);
  beyond->bSendCancelled = 1;

  EXPECT_EQ(ProcessorHandler_CreateResult(handler0_), nullptr);  // the hard limit
  EXPECT_EQ(handler0_->nBufferedResultCount, 2);
  const std::string text = log.text();
  EXPECT_NE(text.find("WARNING ProcessorHandler <0> pThis->nBufferedResultCount (1) >= MAX_BUFFERED_RESULT_COUNT (1)\n"),
            std::string::npos);
  EXPECT_NE(text.find("WARNING ProcessorHandler <0> pThis->nBufferedResultCountMax = 2\n"), std::string::npos);
  EXPECT_NE(text.find("ERROR ProcessorHandler_CreateResult(... queue of processor <0> still holds 2 records after 150 ms, "
                      "message refused, errorcode = 15\n"),
            std::string::npos);

  pending.complete();
  EXPECT_EQ(ProcessorHandler_ForcedWaitForAllSendsCompleted(handler0_), 0);
  EXPECT_EQ(handler0_->nBufferedResultCount, 0);
}

TEST_F(ProcessorHandlerQueues, DestructionWaitsOnlyForItsTimeLimit) {
  ProcessorHandlerWaits_GetInstance()->nDestructMs = 50;
  PendingSend pending(73);
  ProcessorHandler* handler = ProcessorHandler_Construct(0);
  Request* stuck = ProcessorHandler_CreateRequest(handler);
  stuck->mpiRequest = pending.handle();
  LogCapture log(4);
  const double start = Timer_Now();
  EXPECT_EQ(ProcessorHandler_WaitForAllSendsCompleted(handler), 0);
  EXPECT_LT(Timer_Now() - start, 5.0);
  EXPECT_NE(log.text().find("WARNING WaitForRealEngineResultWaitSendCompletedQueue(... time out\n"), std::string::npos);
  EXPECT_EQ(handler->nBufferedRequestCount, 1);
  pending.complete();
  ProcessorHandler_Destruct(handler);
}

}  // namespace
