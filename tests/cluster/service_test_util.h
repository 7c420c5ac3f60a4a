#pragma once
// A job of two ranks as seen from rank 0 of a one-process MPI world: the
// handlers of both ranks exist, messages posted to the own rank arrive
// through the real probe and receive, and answers to the own rank come back
// the same way. Rank 1 does not exist, so nothing may be sent to it except
// to watch a send fail.
#include <gtest/gtest.h>
#include <mpi.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/configuration.h"
#include "base/ybwc_manager.h"
#include "cluster/message_dispatch.h"
#include "cluster/message_service.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"
#include "message_test_util.h"

class ServiceTest : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    manager_->nSize = 2;
    manager_->nRank = 0;
    manager_->bRootMaster = 0;
    manager_->nState = NODE_STATE_IDLE;
    manager_->pDelayedRequestHead = manager_->pDelayedRequestTail = nullptr;
    manager_->nBufferedDelayedRequestCount = 0;
    manager_->nServiceMessagesDepth = 0;
    for (Timer*& timer : manager_->pDumpTimers) timer = nullptr;
    PellamConfiguration* config = manager_->pConfiguration;
    config->nCleanupActionsInterval = 1000000;
    config->nTimerActionsInterval01 = 1000000;
    config->nMaxBufferedRequestCount = 32;
    config->nMaxBufferedResultCount = 32;
    config->bTransmitHistoryTable = 0;
    config->bTransmitHistTotTable = 0;
    for (int rank = 0; rank < 2; rank++) manager_->pProcessorHandlers[rank] = ProcessorHandler_Construct(rank);
    handler0_ = manager_->pProcessorHandlers[0];
    handler0_->nState = 7;
    saved_waits_ = *ProcessorHandlerWaits_GetInstance();
    Current = this;
    static const MessageObserver observer{[](const Request* r) { Current->saw_request(r); },
                                          [](const Result* r) { Current->saw_result(r); }};
    YBWCManager_SetMessageObserver(&observer);
  }

  void TearDown() override {
    YBWCManager_SetMessageObserver(nullptr);
    manager_->nState = NODE_STATE_IDLE;
    drain();
    for (MPI_Request& handle : posted_handles_) MPI_Wait(&handle, MPI_STATUS_IGNORE);
    YBWCManager_ReleaseDelayedRequests(manager_);
    *ProcessorHandlerWaits_GetInstance() = saved_waits_;
    for (int rank = 0; rank < 2; rank++) {
      ProcessorHandler_Destruct(manager_->pProcessorHandlers[rank]);
      manager_->pProcessorHandlers[rank] = nullptr;
    }
    Current = nullptr;
    MessageTest::TearDown();
  }

  // Sends a packed record's bytes to the own rank outside the queues, as a
  // peer would; `length` cuts the message. The bytes are kept until the send
  // has completed (a send to itself completes once it is received).
  static void post(const char* buffer, int32_t length, int32_t tag) {
    Current->posted_.emplace_back(buffer, buffer + length);
    MPI_Request handle;
    ASSERT_EQ(MPI_Isend(Current->posted_.back().data(), length, MPI_PACKED, 0, tag, MPI_COMM_WORLD, &handle),
              MPI_SUCCESS);
    Current->posted_handles_.push_back(handle);
  }
  static void post(const Request* request) { post(request->buffer, request->nPosition, 1); }
  static void post(const Result* result) { post(result->buffer, result->nPosition, 2); }

  // A request packed by its initialiser and posted to the own rank.
  template <typename Init>
  static void post_request(Init init) {
    Request* request = Request_Construct();
    ASSERT_EQ(init(request), 0);
    post(request);
    Request_Destruct(request);
  }

  // Services until nothing more arrives.
  void drain() {
    for (int quiet = 0; quiet < 3;) {
      int flag = 0;
      MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, MPI_STATUS_IGNORE);
      if (flag) {
        quiet = 0;
        YBWCManager_ServiceMessages(manager_);
      } else {
        ++quiet;
      }
    }
  }

  virtual void saw_request(const Request* request) {
    requests_.push_back(request->nType);
    if (on_request_) on_request_(request);
  }
  virtual void saw_result(const Result* result) {
    results_.push_back(result->nType);
    if (on_result_) on_result_(result);
  }

  static inline ServiceTest* Current = nullptr;
  ProcessorHandler* handler0_ = nullptr;
  std::vector<int32_t> requests_;  // types acted on, in order
  std::vector<int32_t> results_;
  std::function<void(const Request*)> on_request_;
  std::function<void(const Result*)> on_result_;
  ProcessorHandlerWaits saved_waits_{};
  std::deque<std::vector<char>> posted_;
  std::vector<MPI_Request> posted_handles_;
};

// Captures the log lines written to standard output in between.
class LogCapture {
 public:
  explicit LogCapture(int level) {
    PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
    config->nPellamDebugLevel = level;
    config->bLogToStdout = 1;
    ::testing::internal::CaptureStdout();
  }
  std::string text() {
    if (!done_) {
      text_ = ::testing::internal::GetCapturedStdout();
      done_ = true;
      YBWCManager_GetInstance()->pConfiguration->bLogToStdout = 0;
    }
    return text_;
  }
  ~LogCapture() { text(); }

 private:
  bool done_ = false;
  std::string text_;
};
