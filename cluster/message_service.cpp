#include "cluster/message_service.h"

#include "base/configuration.h"
#include "base/log.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "cluster/message_dispatch.h"
#include "cluster/message_types.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"
#include "cluster/slave_cycle.h"

namespace {

void (*KeepAliveWriter)() = nullptr;
MessageObserver Observer{};

enum DumpTimer { kWaitForSlave = 0, kWaitForWork = 1, kAtWork = 2, kAwaitingResult = 3 };

// A dump timer that has run out; a timer that was never created has not.
bool run_out(YBWCManager* manager, DumpTimer which) {
  Timer* timer = manager->pDumpTimers[which];
  return timer != nullptr && !Timer_IsRunning(timer);
}

void restart(YBWCManager* manager, DumpTimer which) { Timer_Restart(manager->pDumpTimers[which]); }

// The diagnostics a non root master writes while it waits for work or works.
void non_root_master_lines(YBWCManager* manager) {
  const PellamConfiguration* config = manager->pConfiguration;
  YBWCManager_NoteWorkProgress(manager);
  if (manager->nNoWorkAvailableInARow > manager->nNoWorkAvailableInARowMax) {
    manager->nNoWorkAvailableInARowMax = manager->nNoWorkAvailableInARow;
    QLOG(5, "YBWCManager_ServiceMessages(... nNoWorkAvailableInARowMax = %d\n", manager->nNoWorkAvailableInARowMax);
  }
  const bool at_work = manager->nState == NODE_STATE_SEARCHING && manager->bSearchingSubproblem;
  if (config->nDebugWaitForWorkRate > 0 && !at_work && manager->nNoWorkAvailableInARow > 0 &&
      run_out(manager, kWaitForWork)) {
    QLOG(0, "waiting for work, no work available in a row = %d\n", manager->nNoWorkAvailableInARow);
    restart(manager, kWaitForWork);
  }
  if (config->nDebugAtWorkRate >= 1 && run_out(manager, kAtWork) && manager->nState == NODE_STATE_SEARCHING) {
    YBWCManager_LogAtWork(manager);
    restart(manager, kAtWork);
  }
}

// The receive loop of one tag. Each round works only on the record it has
// just received: a dispatch may service messages again.
template <typename Record>
struct Receiving;

template <>
struct Receiving<Request> {
  static constexpr int32_t kTag = MESSAGE_TAG_REQUEST;
  static constexpr const char* kName = "YBWCManager_ServiceRequests";
  static constexpr const char* kDispatcher = "RequestDispatcher_Dispatch";
  static constexpr const char* kCounterLine = "YBWCManager_ServiceRequests(... nRequestCounter = %d \n";
  static constexpr const char* kMaxLine = "YBWCManager_ServiceRequests(... nServicedRequestInARowMax = %d \n";
  static int32_t& in_a_row_max(YBWCManager* m) { return m->nServicedRequestInARowMax; }
  static Request* construct() { return Request_Construct(); }
  static int32_t dispatch(Request* r) { return RequestDispatcher_Dispatch(r); }
  // A request kept for delayed dispatch now belongs to the delayed list.
  static void release(Request* r) {
    if (!r->bBufferedForDelayedDispatch) Request_Destruct(r);
  }
};

template <>
struct Receiving<Result> {
  static constexpr int32_t kTag = MESSAGE_TAG_RESULT;
  static constexpr const char* kName = "YBWCManager_ServiceResults";
  static constexpr const char* kDispatcher = "ResultDispatcher_Dispatch";
  static constexpr const char* kCounterLine = "YBWCManager_ServiceResults(... nResultCounter = %d \n";
  static constexpr const char* kMaxLine = "YBWCManager_ServiceResults(... nServicedResultsInARowMax = %d \n";
  static int32_t& in_a_row_max(YBWCManager* m) { return m->nServicedResultsInARowMax; }
  static Result* construct() { return Result_Construct(); }
  static int32_t dispatch(Result* r) { return ResultDispatcher_Dispatch(r); }
  static void release(Result* r) { Result_Destruct(r); }
};

template <typename Record>
int32_t receive_all(YBWCManager* manager) {
  using R = Receiving<Record>;
  int32_t counter = 0;
  int32_t probe_code = 0;
  for (int32_t taken = 0; taken < kMaxMessagesPerService; taken++) {
    int32_t flag = 0;
    MPI_Status status;
    probe_code = MPIWrapper_Iprobe(R::kTag, &flag, &status);
    if (probe_code != 0 || !flag) break;
    Record* record = R::construct();
    record->nSource = status.MPI_SOURCE;
    const int32_t code = MPIWrapper_Recv(record->buffer, record->nSource, R::kTag, &status);
    if (code == 0) {
      int32_t length = kPackBufferSize;
      if (MPIWrapper_Get_count(&status, &length) == 0) record->nReceivedLength = length;
      ++counter;
      const int32_t dispatch_code = R::dispatch(record);
      if (dispatch_code != 0)
        QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", R::kName, R::kDispatcher, dispatch_code);
    } else {
      QLOG(1, "ERROR %s(... failed at MPIWrapper_Recv(..., errorcode = %d\n", R::kName, code);
    }
    R::release(record);
  }
  if (probe_code != 0) QLOG(1, "ERROR %s(... failed at MPIWrapper_Iprobe(..., errorcode = %d\n", R::kName, probe_code);
  if (counter > 1) QLOG(6, R::kCounterLine, counter);
  if (counter > R::in_a_row_max(manager)) {
    R::in_a_row_max(manager) = counter;
    QLOG(5, R::kMaxLine, counter);
  }
  return probe_code;
}

}  // namespace

int32_t YBWCManager_ServiceMessages(YBWCManager* manager) {
  if (manager->nSize <= 1) return 0;
  const PellamConfiguration* config = manager->pConfiguration;
  if (!manager->bRootMaster) non_root_master_lines(manager);
  if (config->nDebugAwaitingResultRate > 0 && run_out(manager, kAwaitingResult)) restart(manager, kAwaitingResult);
  YBWCManager_TimerActions(manager);
  const int32_t cleanup_code = YBWCManager_CleanupActions(manager);
  if (cleanup_code != 0) {
    QLOG(1, "ERROR YBWCManager_ServiceMessages(... failed at YBWCManager_CleanupActions(..., errorcode = %d\n",
         cleanup_code);
    return cleanup_code;
  }

  // One probe for either tag keeps the call cheap when nothing has arrived.
  int32_t flag = 0;
  MPI_Status status;
  if (MPIWrapper_Iprobe(MESSAGE_TAG_ANY, &flag, &status) == 0 && !flag) return 0;

  if (manager->nServiceMessagesDepth >= kMaxServiceNesting) {
    // The outer calls take the messages once the nested sends are through;
    // the pending sends still progress through the handlers' cleanup.
    for (int32_t rank = 0; rank < manager->nSize && rank < kMaxProcessors; rank++)
      if (manager->pProcessorHandlers[rank] != nullptr)
        ProcessorHandler_CleanupForCompletedSends(manager->pProcessorHandlers[rank]);
    return 0;
  }
  ++manager->nServiceMessagesDepth;
  YBWCManager_ServiceRequests(manager);
  const int32_t code = YBWCManager_ServiceResults(manager);
  --manager->nServiceMessagesDepth;
  if (code != 0)
    QLOG(1, "ERROR YBWCManager_ServiceMessages(... failed at YBWCManager_ServiceResults(..., errorcode = %d\n", code);
  return code;
}

int32_t YBWCManager_ServiceRequests(YBWCManager* manager) {
  receive_all<Request>(manager);
  return 0;
}

int32_t YBWCManager_ServiceResults(YBWCManager* manager) { return receive_all<Result>(manager); }

int32_t YBWCManager_BufferRequestForDelayedDispatch(YBWCManager* manager, Request* request) {
  request->pNext = nullptr;
  if (manager->pDelayedRequestTail != nullptr)
    manager->pDelayedRequestTail->pNext = request;
  else
    manager->pDelayedRequestHead = request;
  manager->pDelayedRequestTail = request;
  if (++manager->nBufferedDelayedRequestCount > manager->nBufferedDelayedRequestCountMax) {
    manager->nBufferedDelayedRequestCountMax = manager->nBufferedDelayedRequestCount;
    QLOG(3, "WARNING YBWCManager_BufferRequestForDelayedDispatch(... nBufferedDelayedRequestCountMax = %d\n",
         manager->nBufferedDelayedRequestCountMax);
  }
  request->bBufferedForDelayedDispatch = 1;
  return 0;
}

int32_t YBWCManager_DispatchDelayedRequests(YBWCManager* manager) {
  int32_t code = 0;
  while (manager->pDelayedRequestHead != nullptr &&
         (manager->nState == NODE_STATE_SUPPORT_SEARCH || manager->nState == NODE_STATE_IDLE)) {
    Request* request = manager->pDelayedRequestHead;
    manager->pDelayedRequestHead = request->pNext;
    if (manager->pDelayedRequestHead == nullptr) manager->pDelayedRequestTail = nullptr;
    request->pNext = nullptr;
    request->bBufferedForDelayedDispatch = 0;
    --manager->nBufferedDelayedRequestCount;
    code = RequestDispatcher_DispatchDelayed(request);
    if (code != 0)
      QLOG(1, "ERROR YBWCManager_DispatchDelayedRequests(... failed at RequestDispatcher_Dispatch(..., errorcode = %d\n",
           code);
    if (!request->bBufferedForDelayedDispatch) Request_Destruct(request);
  }
  return code;
}

void YBWCManager_ReleaseDelayedRequests(YBWCManager* manager) {
  while (Request* request = manager->pDelayedRequestHead) {
    manager->pDelayedRequestHead = request->pNext;
    Request_Destruct(request);
  }
  manager->pDelayedRequestTail = nullptr;
  manager->nBufferedDelayedRequestCount = 0;
}

int32_t YBWCManager_CleanupActions(YBWCManager* manager) {
  if (++manager->nCleanupActionsCounter < manager->pConfiguration->nCleanupActionsInterval) return 0;
  manager->nCleanupActionsCounter = 0;
  for (int32_t rank = 0; rank < manager->nSize && rank < kMaxProcessors; rank++)
    if (manager->pProcessorHandlers[rank] != nullptr)
      ProcessorHandler_CleanupForCompletedSends(manager->pProcessorHandlers[rank]);
  return 0;
}

void YBWCManager_TimerActions(YBWCManager* manager) {
  if (++manager->nTimerActionsCounter < manager->pConfiguration->nTimerActionsInterval01) return;
  manager->nTimerActionsCounter = 0;
  if (manager->bRootMaster && manager->pConfiguration->bSendKeepAliveChars && KeepAliveWriter != nullptr)
    KeepAliveWriter();
}

void YBWCManager_SetKeepAliveWriter(void (*writer)()) { KeepAliveWriter = writer; }

void YBWCManager_SetMessageObserver(const MessageObserver* observer) {
  Observer = observer != nullptr ? *observer : MessageObserver{};
}

const MessageObserver* YBWCManager_GetMessageObserver() { return &Observer; }
