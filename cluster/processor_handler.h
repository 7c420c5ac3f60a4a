#pragma once
// One record per rank of the job (the own rank included): the peer's
// identity, its state as seen from here, its host-topology flags, and the
// records of every message sent to it whose non-blocking send has not been
// seen complete yet: a FIFO of requests and one of results. A record is
// created through the handler of its destination so that its buffer lives
// until MPI is done with it; every send then waits until the destination's
// queues have drained, servicing incoming messages meanwhile, so that two
// processes sending to each other at once never block each other.
#include <cstdint>

#include "cluster/message_types.h"

struct Request;
struct Result;

struct ProcessorHandler {
  int32_t nProcessorId;
  int32_t nState;  // 6 a peer, 7 the own rank, 8 logged off, 9 shut down
  int32_t bLoggedOn;
  int32_t bSyncedNewGame;
  int32_t bSyncedSetOption;
  int32_t bSyncedAfterBroadcast;
  char sProcessorName[kProcessorNameSize];
  Request* pHeadRequest;
  Request* pTailRequest;
  int32_t nBufferedRequestCount;
  int32_t nBufferedRequestCountMax;
  Result* pHeadResult;
  Result* pTailResult;
  int32_t nBufferedResultCount;
  int32_t nBufferedResultCountMax;
  int32_t bHashTableBroadcastTarget;
  int32_t bHistoryTableBroadcastTarget;
  int32_t bSameNode;
  uint64_t nTransUsed;  // transposition-table usage last reported by this peer as a slave
};

// How long the waits of the queues last. The defaults are the system's; the
// tests shorten them.
struct ProcessorHandlerWaits {
  uint32_t nFullQueueMs;  // a full queue is cleaned and serviced this long before a record is added anyway
  uint32_t nDestructMs;   // the wait for outstanding sends when a handler is destroyed
};
ProcessorHandlerWaits* ProcessorHandlerWaits_GetInstance();

// A queue still full after its wait may grow past the configured maximum,
// but never beyond this many times it: a peer that takes nothing for that
// long must not make the queue grow without bound.
constexpr int32_t kQueueHardLimitFactor = 2;

ProcessorHandler* ProcessorHandler_Construct(int32_t processor_id);
// Waits (bounded) for the outstanding sends, then frees the handler and its
// completed records; records whose send is still running are left to MPI.
void ProcessorHandler_Destruct(ProcessorHandler* handler);

// A new record at the tail of the queue, nDestination set. A full queue is
// cleaned and messages are serviced until it has room, for at most the full
// queue wait; after that the record is added beyond the maximum, unless the
// queue has reached its hard limit: then nothing is added, an ERROR line is
// logged and null is returned.
Request* ProcessorHandler_CreateRequest(ProcessorHandler* handler);
Result* ProcessorHandler_CreateResult(ProcessorHandler* handler);

// Frees the completed records at the head of both queues, strictly in the
// order they were created: a pending head keeps everything behind it. A
// record whose send was never issued cannot complete: it is dropped with an
// ERROR line.
int32_t ProcessorHandler_CleanupForCompletedSends(ProcessorHandler* handler);
// Returns when both queues are empty, servicing messages meanwhile (and
// pausing once the sends take a while). Returns the first service failure.
int32_t ProcessorHandler_ForcedWaitForAllSendsCompleted(ProcessorHandler* handler);
// The same, for at most the destruction wait, pausing 10 ms between rounds.
int32_t ProcessorHandler_WaitForAllSendsCompleted(ProcessorHandler* handler);

// The handler of a rank of the job, or null.
ProcessorHandler* ProcessorHandler_Of(int32_t rank);
