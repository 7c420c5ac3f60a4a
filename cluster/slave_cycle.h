#pragma once
// The slave's side of the distributed search: asking for work while the job
// searches, running a received work item to its end and returning its
// result, and the stops and window updates its master sends meanwhile.
#include <cstdint>

struct YBWCManager;
struct Request;
struct Result;

// A supporting process asks a peer for work while the job searches.
int32_t YBWCManager_CheckSendRequestForWork(YBWCManager* manager);
// Runs a work item for the current position to its end (the result
// dispatcher calls it with the received record).
int32_t pellam_actions_for_work_available_received(YBWCManager* manager, Result* work_item);
// The master's stop of a work item (request type 14).
int32_t YBWCManager_ActionsForMasterStop(YBWCManager* manager, const Request* request);
// The master's new window for a work item (request type 16).
int32_t YBWCManager_ActionsForUpdateSearchWindow(YBWCManager* manager, const Request* request);
// The "at work for master" diagnostic line of the work item being searched.
void YBWCManager_LogAtWork(YBWCManager* manager);
