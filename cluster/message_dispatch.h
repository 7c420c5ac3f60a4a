#pragma once
// What a received message does: its fields are read (once), then it is
// acted on by type and node state. Requests that need an idle or supporting
// node and arrive in another state, or while older such requests still wait,
// are kept for delayed dispatch. A message that cannot be read is refused
// with error 15; if its sender waits for an answer, the answer is still sent
// (a refused work request is answered "no work available", a refused option
// or new-game request is acknowledged), so that no peer waits for ever.
#include <cstdint>

struct Request;
struct Result;

int32_t RequestDispatcher_Dispatch(Request* request);
// A request taken from the delayed FIFO (its fields are read already).
int32_t RequestDispatcher_DispatchDelayed(Request* request);
int32_t ResultDispatcher_Dispatch(Result* result);
