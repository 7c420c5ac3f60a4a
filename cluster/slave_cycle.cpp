#include "cluster/slave_cycle.h"

#include <cinttypes>

#include "base/log.h"
#include "base/return_position.h"
#include "base/ybwc_manager.h"
#include "chess/move.h"
#include "cluster/message_service.h"
#include "cluster/result.h"
#include "search/search_records.h"

// Will ask a chosen rank for work, with the back-off after refusals, while the node supports a search.
int32_t YBWCManager_CheckSendRequestForWork(YBWCManager*) { return 0; }

// Will rebuild the item's node, search it (again after window updates) and send the result to its master; until
// then the item ends at once, and the node goes back to asking for work and takes its delayed requests.
int32_t pellam_actions_for_work_available_received(YBWCManager* manager, Result*) {
  manager->nMasterId = -1;
  manager->bSearchingSubproblem = 0;
  manager->pWorkAvailableResult = nullptr;
  manager->nState = NODE_STATE_SUPPORT_SEARCH;
  return YBWCManager_DispatchDelayedRequests(manager);
}

// Will stop the running work item when the stop is for it (its master and work id), or log why not.
int32_t YBWCManager_ActionsForMasterStop(YBWCManager*, const Request*) { return 0; }

// Will narrow the running work item's window, directly or by a rerun, and propagate it up the stack.
int32_t YBWCManager_ActionsForUpdateSearchWindow(YBWCManager*, const Request*) { return 0; }

void YBWCManager_LogAtWork(YBWCManager* manager) {
  const Result* item = manager->pWorkAvailableResult;
  if (item == nullptr) return;
  const char* position = "RETURN_POSITION_UNDEFINED";
  for (const ReturnPositionInfo& info : kReturnPositions)
    if (info.value == item->nReturnPosition) position = info.name;
  char move[8];
  QLOG(0,
       "at work for master %d/%d from position %s StackIndex %d Move %d %s (%d) WorkId %" PRId64
       " height/depth %d+%d/%d a=%d b=%d nodes %" PRId64 " local %" PRId64 "\n",
       manager->nMasterId, manager->nSize, position, item->nStackIndex, item->nMoveListIndex + 1,
       move_to_text(item->nMove, move), item->nMove, item->nWorkId, item->nHeight, SearchCurrent->depth, item->nDepth,
       item->nAlpha, item->nBeta, SearchCurrent->node_nb, SearchCurrent->node_local_nb);
}
