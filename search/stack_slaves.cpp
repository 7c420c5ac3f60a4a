// What the stack does for the moves its entries handed to slaves: stops when
// an entry ends, window updates when its alpha rises, and the wait at the end
// of a move loop for the results still out.
#include "base/log.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "cluster/message_send.h"
#include "cluster/message_service.h"
#include "search/stack.h"

namespace {

bool hands_out_moves(const StackEntry& entry) {
  return entry.nCallType == CALL_TYPE_FULL_ROOT || entry.nCallType == CALL_TYPE_FULL_SEARCH;
}

bool any_move_held(const StackEntry& entry) {
  for (int i = 0; i < entry.nMoveCount; ++i)
    if (Stack_MoveIsHeld(entry, i)) return true;
  return false;
}

// The wait-for-slave dump timer is only consulted while its rate is positive.
void restart_wait_timer(YBWCManager* manager) {
  if (manager->pConfiguration->nDebugWaitForSlaveRate <= 0) return;
  if (Timer* timer = manager->pDumpTimers[0]) Timer_Restart(timer);
}

void wait_timer_step(YBWCManager* manager) {
  if (manager->pConfiguration->nDebugWaitForSlaveRate <= 0) return;
  if (Timer* timer = manager->pDumpTimers[0]; timer != nullptr && !Timer_IsRunning(timer)) Timer_Restart(timer);
}

}  // namespace

int Stack_FirstFreeMove(const StackEntry& entry) {
  for (int i = 0; i < entry.nMoveCount; ++i)
    if (entry.nSlaveRankList[i] < 1 && !entry.bMoveDoneList[i]) return i;
  return -1;
}

int32_t Stack_StopEntry(StackEntry& entry) {
  if (entry.bStopped) QLOG(1, "ERROR Stack_StopEntry(... entry already stopped\n");
  entry.bStopped = true;
  if (!hands_out_moves(entry) || !entry.bWorkSentToSlave) return 0;

  YBWCManager* manager = YBWCManager_GetInstance();
  int32_t first_error = 0;
  for (int i = 0; i < entry.nMoveCount; ++i) {
    if (!Stack_MoveIsHeld(entry, i)) continue;
    const int64_t work_id = entry.nWorkIdList[i];
    ++manager->nTotalWorkAbortSendCount;
    const int32_t code = send_request(entry.nSlaveRankList[i], "Stack_StopEntry", "Request_InitMasterStop",
                                      [work_id](Request* request) { return Request_InitMasterStop(request, work_id); });
    if (code != 0 && first_error == 0) first_error = code;
  }
  if (manager->pConfiguration->bUseSynchronizedStackStopEntry) {
    restart_wait_timer(manager);
    // Every stopped slave answers with a result, which marks its move done.
    while (any_move_held(entry)) YBWCManager_ServiceMessages(manager);
  }
  return first_error;
}

int32_t Stack_Stop() {
  SearchControl->bStackStopgActive = true;
  int32_t first_error = 0;
  for (int i = 0; i < Stack.nCount; ++i) {
    const int32_t error = Stack_StopEntry(Stack.entries[i]);
    if (error != 0) {
      QLOG(1, "ERROR Stack_StopEntry(... failed at Stack_StopEntry(..., errorcode = %d\n", error);
      if (first_error == 0) first_error = error;
    }
  }
  SearchControl->bStackStopgActive = false;
  return first_error;
}

int32_t Stack_UpdateSearchWindowForEntry(StackEntry& entry, int alpha, int beta) {
  if (!entry.bWorkSentToSlave) return 0;
  ++Stack.nUpdateSearchWindowRecursionLevel;
  if (Stack.nUpdateSearchWindowRecursionLevel > 1)
    QLOG(3, "WARNING Stack_UpdateSearchWindowForEntry(... potential reentrant problem, recursion level = %d\n",
         Stack.nUpdateSearchWindowRecursionLevel);
  int32_t first_error = 0;
  if (hands_out_moves(entry) && !entry.bStopped) {
    YBWCManager* manager = YBWCManager_GetInstance();
    // A send services messages, which may end the entry: it is looked at again before every move.
    for (int i = 0; i < entry.nMoveCount && entry.bAlive; ++i) {
      if (!Stack_MoveIsHeld(entry, i)) continue;
      const int64_t work_id = entry.nWorkIdList[i];
      ++manager->nTotalUpdateSearchWindowSendCount;
      const int32_t code = send_request(entry.nSlaveRankList[i], "Stack_UpdateSearchWindowForEntry",
                                        "Request_InitMasterUpdateSearchWindow", [=](Request* request) {
                                          return Request_InitMasterUpdateSearchWindow(request, work_id, alpha, beta);
                                        });
      if (code != 0 && first_error == 0) first_error = code;
    }
  }
  --Stack.nUpdateSearchWindowRecursionLevel;
  return first_error;
}

void Stack_WaitForSlaves(StackEntry& entry) {
  if (!entry.bWorkSentToSlave) return;
  YBWCManager* manager = YBWCManager_GetInstance();
  while (entry.bAlive && any_move_held(entry)) {
    wait_timer_step(manager);
    YBWCManager_ServiceMessages(manager);
    // Leaves with the search (it does not return) when the search is abandoned.
    search_check();
  }
}
