#include "cluster/membership.h"

#include "base/log.h"
#include "base/protocol_flags.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "cluster/engine_hooks.h"
#include "cluster/message_send.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"
#include "search/driver.h"
#include "search/search_records.h"
#include "search/stack.h"

namespace {

constexpr uint32_t kWaitRoundMs = 10;

// A search that still runs when the root master logs the others off (a
// "quit" or the end of input during a search): its slaves are stopped and the
// supporting ranks sent back to idle, so that every rank can take the
// log-off; a remote test is stopped and its result awaited.
void stop_running_searches(YBWCManager* manager) {
  if (manager->nState == NODE_STATE_REMOTE_TEST) {
    YBWCManager_HookStop(manager);
    YBWCManager_WaitForPeers(
        manager, "YBWCManager_WaitForNonRootMasterLoggedOff",
        [manager] { return manager->nState != NODE_STATE_REMOTE_TEST; }, true);
    return;
  }
  if (manager->nState != NODE_STATE_SEARCHING || !SearchRunning) return;
  // No work goes out any more: the search is being abandoned.
  SearchInfo->stop = true;
  SearchControl->bStoppingActive = true;
  const int32_t code = Stack_Stop();
  if (code != 0) QLOG(1, "ERROR YBWCManager_WaitForNonRootMasterLoggedOff(... failed at Stack_Stop(..., errorcode = %d\n", code);
  const int32_t hook = YBWCManager_HookSearchTerminated(manager);
  if (hook != 0)
    QLOG(1, "ERROR YBWCManager_WaitForNonRootMasterLoggedOff(... failed at YBWCManager_HookSearchTerminated(..., errorcode = %d\n",
         hook);
  manager->nState = NODE_STATE_IDLE;
}

}  // namespace

bool YBWCManager_EveryPeer(const YBWCManager* manager, const std::function<bool(const ProcessorHandler&)>& test,
                           bool every_other_rank) {
  for (int32_t rank = every_other_rank ? 0 : 1; rank < manager->nSize && rank < kMaxProcessors; rank++) {
    if (rank == manager->nRank) continue;
    const ProcessorHandler* handler = manager->pProcessorHandlers[rank];
    if (handler == nullptr || !test(*handler)) return false;
  }
  return true;
}

int32_t YBWCManager_SendToPeers(YBWCManager* manager, const char* operation, const char* init_name,
                                const std::function<int32_t(Request*)>& init, bool stop_at_first_failure,
                                bool every_other_rank) {
  int32_t first_code = 0;
  for (int32_t rank = every_other_rank ? 0 : 1; rank < manager->nSize; rank++) {
    if (rank == manager->nRank) continue;
    const int32_t code = send_request(rank, operation, init_name, init);
    if (code == 0) continue;
    if (first_code == 0) first_code = code;
    if (stop_at_first_failure) break;
  }
  return first_code;
}

int32_t YBWCManager_WaitForPeers(YBWCManager* manager, const char* operation, const std::function<bool()>& done,
                                 bool bounded_on_fatal) {
  Timer round{Timer_Now(), kWaitRoundMs, 1, 0};
  double fatal_since = -1.0;
  for (;;) {
    const int32_t code = YBWCManager_ServiceMessages(manager);
    if (code != 0) {
      QLOG(1, "ERROR %s(... failed at YBWCManager_ServiceMessages(..., errorcode = %d\n", operation, code);
      return code;
    }
    if (done()) return 0;
    if (bounded_on_fatal && manager->bFatalInProgress) {
      if (fatal_since < 0) fatal_since = Timer_Now();
      if ((Timer_Now() - fatal_since) * 1000 >= kFatalShutdownWaitMs) {
        QLOG(1, "ERROR %s(... no answer from every rank while a fatal error ends the process\n", operation);
        return 15;
      }
    }
    Timer_WaitForInterval(&round);
  }
}

int32_t YBWCManager_WaitForNonRootMasterStartedUp(YBWCManager* manager) {
  constexpr const char* kName = "YBWCManager_WaitForNonRootMasterStartedUp";
  const int32_t code = YBWCManager_SendToPeers(manager, kName, "Request_InitRootMasterLogonInvitation",
                                               Request_InitRootMasterLogonInvitation, true);
  if (code != 0) return code;
  const int32_t wait = YBWCManager_WaitForPeers(manager, kName, [manager] {
    return YBWCManager_EveryPeer(manager, [](const ProcessorHandler& h) { return h.bLoggedOn != 0; });
  });
  if (wait != 0) return wait;
  manager->bNonRootMastersStartedUp = 1;
  return 0;
}

int32_t YBWCManager_SendMachineInfo(YBWCManager* manager) {
  return YBWCManager_SendToPeers(manager, "YBWCManager_SendMachineInfo", "Request_InitRootMasterMachineInfo",
                                 Request_InitRootMasterMachineInfo, true);
}

int32_t YBWCManager_WaitForNonRootMasterLoggedOff(YBWCManager* manager) {
  constexpr const char* kName = "YBWCManager_WaitForNonRootMasterLoggedOff";
  stop_running_searches(manager);
  const int32_t code = YBWCManager_SendToPeers(manager, kName, "Request_InitRootMasterLogoffInvitation",
                                               Request_InitRootMasterLogoffInvitation, true);
  if (code != 0) return code;
  return YBWCManager_WaitForPeers(
      manager, kName,
      [manager] { return YBWCManager_EveryPeer(manager, [](const ProcessorHandler& h) { return h.nState == 8; }); },
      true);
}

int32_t YBWCManager_WaitForNonRootMasterShutdown(YBWCManager* manager) {
  constexpr const char* kName = "YBWCManager_WaitForNonRootMasterShutdown";
  const int32_t code = YBWCManager_SendToPeers(manager, kName, "Request_InitRootMasterShutdown",
                                               Request_InitRootMasterShutdown, true);
  if (code != 0) return code;
  return YBWCManager_WaitForPeers(
      manager, kName, [manager] { return YBWCManager_AllNonRootMastersShutDown(manager); }, true);
}

uint32_t YBWCManager_FinalizeDelayMs(const YBWCManager* manager) {
  if (manager->nSize <= 1 || manager->nRank < 0) return 0;
  if (!manager->bHasHashTableBroadcastTargets && !MPIWrapper_LocalTrafficThroughNetwork()) return 0;
  if (manager->bRootMaster) return 0;
  return static_cast<uint32_t>(2 + manager->nSize - 1 - manager->nRank) * kFinalizeStaggerMs;
}

bool YBWCManager_AllNonRootMastersShutDown(const YBWCManager* manager) {
  return YBWCManager_EveryPeer(manager, [](const ProcessorHandler& h) { return h.nState == 9; });
}

int32_t YBWCManager_WaitForSyncAfterBroadcast(YBWCManager* manager) {
  constexpr const char* kName = "YBWCManager_WaitForSyncAfterBroadcast";
  manager->nSyncedAfterBroadcastCount = 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++)
    if (ProcessorHandler* handler = ProcessorHandler_Of(rank)) handler->bSyncedAfterBroadcast = 0;
  const int32_t code = YBWCManager_SendToPeers(manager, kName, "Request_InitNonRootMasterSyncAfterBroadcast",
                                               Request_InitNonRootMasterSyncAfterBroadcast, false, true);
  if (code != 0) return code;
  return YBWCManager_WaitForPeers(manager, kName, [manager] {
    return YBWCManager_EveryPeer(
        manager, [](const ProcessorHandler& h) { return h.bSyncedAfterBroadcast != 0; }, true);
  });
}

int32_t YBWCManager_ActionsForLogoffInvitation(YBWCManager* manager, const Request* request) {
  manager->nState = NODE_STATE_IDLE;
  const int32_t code = YBWCManager_WaitForSyncAfterBroadcast(manager);
  if (code != 0)
    QLOG(1, "ERROR RequestDispatcher_Dispatch(... failed at YBWCManager_WaitForSyncAfterBroadcast(..., errorcode = %d\n",
         code);
  manager->bLoggedOn = 0;
  YBWCManager_DetachSharedSegments(manager);
  const int32_t answer = send_result(request->nSource, "RequestDispatcher_Dispatch", "Result_InitNonRootMasterLogoff",
                                     Result_InitNonRootMasterLogoff);
  return code != 0 ? code : answer;
}

void YBWCManager_DetachSharedSegments(YBWCManager*) {
  if (const auto detach = YBWCManager_GetEngineHooks()->detach_shared_tables) detach();
}

void YBWCManager_ActionsForMachineInfo(YBWCManager* manager) {
  YBWCManager_AnalyzeHostTopology(manager);
  YBWCManager_AdjustProcessPriority(manager);
  if (const auto alloc = YBWCManager_GetEngineHooks()->alloc_tables) alloc();
}
