#pragma once
// The slave's side of the distributed search: asking for work while the job
// searches, running a received work item to its end and returning its
// result, and the stops and window updates its master sends meanwhile.
//
// A result that carries no value: an item whose search produced no move (it
// was stopped before its first move had been searched), or an item this
// process could not take (a move-ahead list that is not legal here, a best
// move still held back) is answered with the item's own move, flags 0, value
// ValueNone and no principal variation. Its master must not take that value
// for a result of the move.
#include <cstdint>

struct YBWCManager;
struct Request;
struct Result;

// Flags of a result that carries no value.
constexpr int32_t kSlaveResultFlagsNoValue = 0;

// A supporting process asks a peer for work while the job searches.
int32_t YBWCManager_CheckSendRequestForWork(YBWCManager* manager);
// The back-off after refusals: true when a request may go out on this call.
bool YBWCManager_IsTimeToRequestWork(YBWCManager* manager);
// The rank to ask: drawn with the generator seeded alike on every rank.
int32_t YBWCManager_ChooseWorkTarget(YBWCManager* manager);

// Runs a work item for the current position to its end (the result
// dispatcher calls it with the received record).
int32_t pellam_actions_for_work_available_received(YBWCManager* manager, Result* work_item);
// The master's stop of a work item (request type 14).
int32_t YBWCManager_ActionsForMasterStop(YBWCManager* manager, const Request* request);
// The master's new window for a work item (request type 16).
int32_t YBWCManager_ActionsForUpdateSearchWindow(YBWCManager* manager, const Request* request);
// Asks the running search to stop (a stop, or a rerun with a better window).
void pellam_actions_for_stop_received(YBWCManager* manager);
void pellam_actions_for_update_search_window_received(YBWCManager* manager, int32_t alpha, int32_t beta);
// Notes how far the search of the current run has come (the highest move
// count of the second stack entry), which decides whether a window update
// still makes the item run again.
void YBWCManager_NoteWorkProgress(YBWCManager* manager);
// The "at work for master" diagnostic line of the work item being searched.
void YBWCManager_LogAtWork(YBWCManager* manager);
