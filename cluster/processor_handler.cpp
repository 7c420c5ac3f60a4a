#include "cluster/processor_handler.h"

#include <cstdlib>
#include <cstring>

#include "base/configuration.h"
#include "base/fatal.h"
#include "base/log.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "cluster/message_service.h"
#include "cluster/request.h"
#include "cluster/result.h"
#include "platform/clock.h"

namespace {

ProcessorHandlerWaits Waits{5000, 10000};

// A wait round that finds nothing completed services messages and then, once
// the first rounds have passed without progress, pauses a millisecond: a send
// that takes a while must not make the process spin at full speed.
constexpr int kRoundsBeforePausing = 16;

class WaitPacer {
 public:
  void after_round() {
    if (++rounds_ > kRoundsBeforePausing) platform_sleep_ms(1);
  }

 private:
  int rounds_ = 0;
};

// The two queues differ only in their record type and their texts.
template <typename Record>
struct Queue;

template <>
struct Queue<Request> {
  static Request*& head(ProcessorHandler* h) { return h->pHeadRequest; }
  static Request*& tail(ProcessorHandler* h) { return h->pTailRequest; }
  static int32_t& count(ProcessorHandler* h) { return h->nBufferedRequestCount; }
  static int32_t& count_max(ProcessorHandler* h) { return h->nBufferedRequestCountMax; }
  static int32_t configured_max(const PellamConfiguration* c) { return c->nMaxBufferedRequestCount; }
  static Request* construct() { return Request_Construct(); }
  static void destruct(Request* r) { Request_Destruct(r); }
  static bool pending(Request* r) { return Request_IsSendPending(r); }
  static constexpr const char* kCreate = "ProcessorHandler_CreateRequest";
  static constexpr const char* kFullLine =
      "WARNING ProcessorHandler <%d> pThis->nBufferedRequestCount (%d) >= MAX_BUFFERED_REQUEST_COUNT (%d)\n";
  static constexpr const char* kMaxLine = "WARNING ProcessorHandler <%d> pThis->nBufferedRequestCountMax = %d\n";
  static constexpr const char* kPendingLine = "WARNING ProcessorHandler <%d> transmission of pHeadRequest is pending\n";
  static constexpr const char* kHead = "pHeadRequest";
};

template <>
struct Queue<Result> {
  static Result*& head(ProcessorHandler* h) { return h->pHeadResult; }
  static Result*& tail(ProcessorHandler* h) { return h->pTailResult; }
  static int32_t& count(ProcessorHandler* h) { return h->nBufferedResultCount; }
  static int32_t& count_max(ProcessorHandler* h) { return h->nBufferedResultCountMax; }
  static int32_t configured_max(const PellamConfiguration* c) { return c->nMaxBufferedResultCount; }
  static Result* construct() { return Result_Construct(); }
  static void destruct(Result* r) { Result_Destruct(r); }
  static bool pending(Result* r) { return Result_IsSendPending(r); }
  static constexpr const char* kCreate = "ProcessorHandler_CreateResult";
  static constexpr const char* kFullLine =
      "WARNING ProcessorHandler <%d> pThis->nBufferedResultCount (%d) >= MAX_BUFFERED_RESULT_COUNT (%d)\n";
  static constexpr const char* kMaxLine = "WARNING ProcessorHandler <%d> pThis->nBufferedResultCountMax = %d\n";
  static constexpr const char* kPendingLine = "WARNING ProcessorHandler <%d> transmission of pHeadResult is pending\n";
  static constexpr const char* kHead = "pHeadResult";
};

template <typename Record>
void cleanup(ProcessorHandler* handler) {
  using Q = Queue<Record>;
  while (Record* head = Q::head(handler)) {
    if (!head->bSendCancelled && head->mpiRequest == MPI_REQUEST_NULL) {
      // Nothing is serviced between creating a record and issuing its send,
      // so a head without a send here was abandoned: waiting for it would
      // hold up the queue for ever.
      QLOG(1, "ERROR ProcessorHandler <%d> transmission of %s was never issued, dropped\n", handler->nProcessorId,
           Q::kHead);
    } else if (Q::pending(head)) {
      QLOG(4, Q::kPendingLine, handler->nProcessorId);
      return;
    }
    Q::head(handler) = head->pNext;
    if (Q::head(handler) == nullptr) Q::tail(handler) = nullptr;
    Q::destruct(head);
    --Q::count(handler);
  }
}

template <typename Record>
Record* create(ProcessorHandler* handler) {
  using Q = Queue<Record>;
  YBWCManager* manager = YBWCManager_GetInstance();
  int32_t maximum = Q::configured_max(manager->pConfiguration);
  if (maximum < 1) maximum = 1;
  if (Q::count(handler) >= maximum) {
    QLOG(3, Q::kFullLine, handler->nProcessorId, Q::count(handler), maximum);
    Timer timer{Timer_Now(), Waits.nFullQueueMs, 1, 0};
    WaitPacer pacer;
    do {
      cleanup<Record>(handler);
      if (Q::count(handler) < maximum) break;
      const int32_t code = YBWCManager_ServiceMessages(manager);
      if (code != 0)
        QLOG(1, "ERROR %s(... failed at YBWCManager_ServiceMessages(..., errorcode = %d\n", Q::kCreate, code);
      pacer.after_round();
    } while (Timer_IsRunning(&timer));
    if (Q::count(handler) >= kQueueHardLimitFactor * maximum) {
      QLOG(1, "ERROR %s(... queue of processor <%d> still holds %d records after %u ms, message refused, errorcode = %d\n",
           Q::kCreate, handler->nProcessorId, Q::count(handler), Waits.nFullQueueMs, kMessageErrorCode);
      return nullptr;
    }
  }
  Record* record = Q::construct();
  if (Q::tail(handler) != nullptr)
    Q::tail(handler)->pNext = record;
  else
    Q::head(handler) = record;
  Q::tail(handler) = record;
  if (++Q::count(handler) > Q::count_max(handler)) {
    Q::count_max(handler) = Q::count(handler);
    QLOG(3, Q::kMaxLine, handler->nProcessorId, Q::count_max(handler));
  }
  record->nDestination = handler->nProcessorId;
  return record;
}

bool queues_empty(const ProcessorHandler* handler) {
  return handler->nBufferedRequestCount == 0 && handler->nBufferedResultCount == 0;
}

}  // namespace

ProcessorHandlerWaits* ProcessorHandlerWaits_GetInstance() { return &Waits; }

ProcessorHandler* ProcessorHandler_Construct(int32_t processor_id) {
  auto* handler = static_cast<ProcessorHandler*>(my_malloc(sizeof(ProcessorHandler)));
  std::memset(handler, 0, sizeof *handler);
  handler->nProcessorId = processor_id;
  handler->bHashTableBroadcastTarget = 1;
  handler->bHistoryTableBroadcastTarget = 1;
  return handler;
}

void ProcessorHandler_Destruct(ProcessorHandler* handler) {
  if (handler == nullptr) return;
  ProcessorHandler_WaitForAllSendsCompleted(handler);
  std::free(handler);
}

Request* ProcessorHandler_CreateRequest(ProcessorHandler* handler) { return create<Request>(handler); }

Result* ProcessorHandler_CreateResult(ProcessorHandler* handler) { return create<Result>(handler); }

int32_t ProcessorHandler_CleanupForCompletedSends(ProcessorHandler* handler) {
  cleanup<Request>(handler);
  cleanup<Result>(handler);
  return 0;
}

int32_t ProcessorHandler_ForcedWaitForAllSendsCompleted(ProcessorHandler* handler) {
  YBWCManager* manager = YBWCManager_GetInstance();
  int32_t first_code = 0;
  WaitPacer pacer;
  while (!queues_empty(handler)) {
    ProcessorHandler_CleanupForCompletedSends(handler);
    if (queues_empty(handler)) break;
    const int32_t code = YBWCManager_ServiceMessages(manager);
    if (code != 0) {
      QLOG(1, "ERROR ProcessorHandler_WaitForAllSendsCompleted(... failed at YBWCManager_ServiceMessages(..., errorcode = %d\n",
           code);
      if (first_code == 0) first_code = code;
    }
    pacer.after_round();
  }
  return first_code;
}

int32_t ProcessorHandler_WaitForAllSendsCompleted(ProcessorHandler* handler) {
  YBWCManager* manager = YBWCManager_GetInstance();
  int32_t first_code = 0;
  Timer limit{Timer_Now(), Waits.nDestructMs, 1, 0};
  Timer round{Timer_Now(), 10, 1, 0};
  while (!queues_empty(handler)) {
    ProcessorHandler_CleanupForCompletedSends(handler);
    if (queues_empty(handler)) break;
    const int32_t code = YBWCManager_ServiceMessages(manager);
    if (code != 0) {
      QLOG(1, "ERROR ProcessorHandler_WaitForAllSendsCompleted(... failed at YBWCManager_ServiceMessages(..., errorcode = %d\n",
           code);
      if (first_code == 0) first_code = code;
    }
    if (!Timer_IsRunning(&limit)) {
      QLOG(4, "WARNING WaitForRealEngineResultWaitSendCompletedQueue(... time out\n");
      break;
    }
    Timer_WaitForInterval(&round);
  }
  return first_code;
}

ProcessorHandler* ProcessorHandler_Of(int32_t rank) {
  if (rank < 0 || rank >= kMaxProcessors) return nullptr;
  return YBWCManager_GetInstance()->pProcessorHandlers[rank];
}
