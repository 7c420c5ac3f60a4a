#pragma once
// The single point at which a process takes notice of its peers. Each call
// runs the periodic actions (counted in calls, so that the call from the
// search's node loop costs a few increments), then receives and dispatches
// the requests that are waiting, then the results. Requests the node cannot
// take in its present state are kept in a delayed-dispatch list and
// dispatched, in the order they arrived, once the state allows it.
//
// The service is re-entered: a dispatch may send, and a send waits by
// servicing messages; a work item's search calls the service from inside.
// Both the messages taken per call and the nesting are bounded, so that a
// flood of messages never starves the search and re-entry never grows the
// stack without limit.
#include <cstdint>

struct YBWCManager;
struct Request;
struct Result;

// Messages of each tag taken in one call; the rest wait for the next call.
constexpr int32_t kMaxMessagesPerService = 32;
// Nested calls beyond this depth only let the pending sends progress (their
// cleanup) and take no message.
constexpr int32_t kMaxServiceNesting = 16;

// Returns the code of the cleanup actions or of YBWCManager_ServiceResults.
int32_t YBWCManager_ServiceMessages(YBWCManager* manager);
int32_t YBWCManager_ServiceRequests(YBWCManager* manager);
// The probe's error code, else 0.
int32_t YBWCManager_ServiceResults(YBWCManager* manager);

// Appends the request to the delayed FIFO; the receive loop then keeps it.
int32_t YBWCManager_BufferRequestForDelayedDispatch(YBWCManager* manager, Request* request);
// Dispatches the delayed requests in order while the node is idle or
// supporting a search. Each is unlinked before its dispatch, so that a
// dispatch that comes back here never sees it again. Returns the code of the
// last dispatch.
int32_t YBWCManager_DispatchDelayedRequests(YBWCManager* manager);
// Frees the requests still kept (the manager's destruction).
void YBWCManager_ReleaseDelayedRequests(YBWCManager* manager);

// Every nCleanupActionsInterval calls: the cleanup of every handler's queues.
int32_t YBWCManager_CleanupActions(YBWCManager* manager);
// Every nTimerActionsInterval01 calls: the keep-alive line of the root master.
void YBWCManager_TimerActions(YBWCManager* manager);

// The writer of the keep-alive line ("info keepalive"), installed by the
// protocol layer, which alone writes protocol lines. Null: none.
void YBWCManager_SetKeepAliveWriter(void (*writer)());

// Called with every received message once its fields are read, before it is
// acted on (diagnostics and tests). Null members: none.
struct MessageObserver {
  void (*request)(const Request* request);
  void (*result)(const Result* result);
};
void YBWCManager_SetMessageObserver(const MessageObserver* observer);
const MessageObserver* YBWCManager_GetMessageObserver();
