#include "cluster/membership.h"

#include "base/log.h"
#include "base/option.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "chess/trans.h"
#include "cluster/message_send.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"

// The job runs as a single process until the logon protocol is in place:
// the process refuses a larger job at start-up, so every peer loop below is
// over an empty set of ranks and every wait is already satisfied.

int32_t YBWCManager_WaitForNonRootMasterStartedUp(YBWCManager* manager) {
  if (manager->nSize > 1) return 15;
  manager->bNonRootMastersStartedUp = 1;
  return 0;
}

void YBWCManager_AnalyzeHostTopology(YBWCManager*) {}

int32_t YBWCManager_SendMachineInfo(YBWCManager* manager) { return manager->nSize > 1 ? 15 : 0; }

int32_t YBWCManager_WaitForNonRootMasterLoggedOff(YBWCManager* manager) { return manager->nSize > 1 ? 15 : 0; }

int32_t YBWCManager_WaitForNonRootMasterShutdown(YBWCManager* manager) { return manager->nSize > 1 ? 15 : 0; }

int32_t YBWCManager_HookPosition(YBWCManager* manager, const char*) {
  ++manager->nSyncPositionId;
  return 0;
}

int32_t YBWCManager_HookGo(YBWCManager*) { return 0; }

int32_t YBWCManager_HookStop(YBWCManager*) { return 0; }

int32_t YBWCManager_HookNewGame(YBWCManager*) { return 0; }

int32_t YBWCManager_HookSetOption(YBWCManager*, const char*, const char*) { return 0; }

int32_t YBWCManager_HookRemoteTest(YBWCManager*, int32_t, const char*) { return 15; }

int32_t YBWCManager_HookSearchTerminated(YBWCManager*) { return 0; }

int32_t YBWCManager_ChangeHashSize(YBWCManager* manager) {
  // Alone on its host, the process simply rebuilds its own table.
  trans_release(Trans);
  trans_alloc(Trans, option_get_hash_megabytes(), manager->nRank, manager->bRootMaster != 0);
  return 0;
}

int32_t YBWCManager_WaitForSyncAfterBroadcast(YBWCManager* manager) {
  manager->nSyncedAfterBroadcastCount = 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++)
    if (ProcessorHandler* handler = ProcessorHandler_Of(rank)) handler->bSyncedAfterBroadcast = 0;
  int32_t first_code = 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++) {
    if (rank == manager->nRank) continue;
    const int32_t code = send_request(rank, "YBWCManager_WaitForSyncAfterBroadcast",
                                      "Request_InitNonRootMasterSyncAfterBroadcast",
                                      Request_InitNonRootMasterSyncAfterBroadcast);
    if (code != 0 && first_code == 0) first_code = code;
  }
  if (first_code != 0) return first_code;

  Timer round{Timer_Now(), 10, 1, 0};
  for (;;) {
    bool all = true;
    for (int32_t rank = 0; rank < manager->nSize && all; rank++) {
      const ProcessorHandler* handler = ProcessorHandler_Of(rank);
      if (rank != manager->nRank && (handler == nullptr || !handler->bSyncedAfterBroadcast)) all = false;
    }
    if (all) return 0;
    const int32_t code = YBWCManager_ServiceMessages(manager);
    if (code != 0) {
      QLOG(1, "ERROR YBWCManager_WaitForSyncAfterBroadcast(... failed at YBWCManager_ServiceMessages(..., errorcode = %d\n",
           code);
      return code;
    }
    Timer_WaitForInterval(&round);
  }
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

// Will detach (without deleting) from the shared segments this process attached to.
void YBWCManager_DetachSharedSegments(YBWCManager*) {}

// Will run the late initialisation, set up the position as the UCI position command does and reset the history tables.
void YBWCManager_SetUpSyncPosition(YBWCManager*, const char*) {}

// Will set the transposition table's date again, log "trans_set_date(... %d\n" and clear the search statistics.
void YBWCManager_PrepareSupportSearch(YBWCManager*) {}

// Will set the running remote test's stop flag and clear its infinite flag.
void YBWCManager_StopRemoteTestSearch(YBWCManager*) {}

// Will clear the transposition table when the engine is initialised and neither searching nor holding a best move.
void YBWCManager_NewGameActions(YBWCManager*) {}

// Will run the hash-size steps, or set the option, refresh the configuration and re-read the engine parameters.
void YBWCManager_ApplyForwardedOption(YBWCManager*, const char*, const char*) {}

// Will search the go parameters as a root search of its own and answer with its result; until then the root
// master is answered at once with an empty result, so that it does not wait for ever.
int32_t YBWCManager_StartRemoteTest(YBWCManager*, const Request* request) {
  return send_result(request->nSource, "RequestDispatcher_Dispatch", "Result_InitNonRootMasterRemoteTest",
                     [](Result* result) {
                       return Result_InitNonRootMasterRemoteTest(result, 0, 0, 0, 0, 0, 0, nullptr, 0, 0.0, 0.0, 0.0,
                                                                 0);
                     });
}

// Will analyse the host topology, adjust the process priority and allocate the transposition and history tables.
void YBWCManager_ActionsForMachineInfo(YBWCManager* manager) { YBWCManager_AnalyzeHostTopology(manager); }

// Will take the result as the root master's own search result and report it; the remote test is over.
int32_t YBWCManager_ActionsForRemoteTestResult(YBWCManager* manager, const Result*) {
  manager->nRemoteTestProcessorId = -1;
  manager->nState = NODE_STATE_IDLE;
  return 0;
}
