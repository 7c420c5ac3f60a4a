#include "cluster/message_dispatch.h"

#include <cstdio>

#include "base/configuration.h"
#include "base/log.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "cluster/membership.h"
#include "cluster/message_send.h"
#include "cluster/message_service.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"
#include "cluster/slave_cycle.h"
#include "cluster/table_replication.h"
#include "search/work_distribution.h"

namespace {

constexpr const char* kRequestDispatcher = "RequestDispatcher_Dispatch";

bool idle_or_supporting(const YBWCManager* manager) {
  return manager->nState == NODE_STATE_IDLE || manager->nState == NODE_STATE_SUPPORT_SEARCH;
}

// Requests acted on only by an idle or supporting node, in the order they arrived.
bool needs_idle_or_supporting(int32_t type) {
  switch (type) {
    case REQUEST_TYPE_ROOT_MASTER_LOGOFF_INVITATION:
    case REQUEST_TYPE_ROOT_MASTER_SHUTDOWN:
    case REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION:
    case REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION:
    case REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH:
    case REQUEST_TYPE_ROOT_MASTER_NEW_GAME:
    case REQUEST_TYPE_ROOT_MASTER_SET_OPTION:
    case REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST:
      return true;
    default:
      return false;
  }
}

int32_t answer(const Request* request, const char* init_name, int32_t (*init)(Result*)) {
  return send_result(request->nSource, kRequestDispatcher, init_name, init);
}

// The answer the sender of a request waits for, sent even when the request
// could not be read.
int32_t answer_refused(const Request* request) {
  switch (request->nType) {
    case REQUEST_TYPE_ROOT_MASTER_LOGON_INVITATION:
      return answer(request, "Result_InitNonRootMasterLogon", Result_InitNonRootMasterLogon);
    case REQUEST_TYPE_ROOT_MASTER_LOGOFF_INVITATION:
      return answer(request, "Result_InitNonRootMasterLogoff", Result_InitNonRootMasterLogoff);
    case REQUEST_TYPE_ROOT_MASTER_SHUTDOWN:
      return answer(request, "Result_InitNonRootMasterShutdown", Result_InitNonRootMasterShutdown);
    case REQUEST_TYPE_ROOT_MASTER_NEW_GAME:
      return answer(request, "Result_InitNonRootMasterSyncNewGame", Result_InitNonRootMasterSyncNewGame);
    case REQUEST_TYPE_ROOT_MASTER_SET_OPTION:
      return answer(request, "Result_InitNonRootMasterSyncSetOption", Result_InitNonRootMasterSyncSetOption);
    case REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST:
      return answer(request, "Result_InitSyncAfterBroadcast", Result_InitSyncAfterBroadcast);
    case REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST:
      return send_result(request->nSource, kRequestDispatcher, "Result_InitNonRootMasterRemoteTest", [](Result* result) {
        return Result_InitNonRootMasterRemoteTest(result, 0, 0, 0, 0, 0, 0, nullptr, 0, 0.0, 0.0, 0.0, 0);
      });
    case REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK: {
      const int32_t id = request->nSyncPositionId;
      return send_result(request->nSource, kRequestDispatcher, "Result_InitMasterNoWorkAvailable",
                         [id](Result* result) { return Result_InitMasterNoWorkAvailable(result, id); });
    }
    default:
      return 0;
  }
}

void take_machine_info(YBWCManager* manager, const Request* request) {
  for (int32_t rank = 0; rank < request->nProcessorNameCount; rank++) {
    ProcessorHandler* handler = ProcessorHandler_Of(rank);
    if (handler == nullptr) continue;
    std::snprintf(handler->sProcessorName, sizeof handler->sProcessorName, "%s",
                  Request_GetProcessorName(request, rank));
  }
  YBWCManager_ActionsForMachineInfo(manager);
}

int32_t act_on_request(YBWCManager* manager, Request* request) {
  if (const MessageObserver* observer = YBWCManager_GetMessageObserver(); observer->request != nullptr)
    observer->request(request);
  switch (request->nType) {
    case REQUEST_TYPE_UNDEFINED:
      QLOG(1, "ERROR RequestDispatcher_Dispatch(... failed at switch(pRequest->nType) (REQUEST_TYPE_UNDEFINED), errorcode = %d\n",
           kMessageErrorCode);
      return kMessageErrorCode;
    case REQUEST_TYPE_ROOT_MASTER_LOGON_INVITATION:
      manager->bLoggedOn = 1;
      return answer(request, "Result_InitNonRootMasterLogon", Result_InitNonRootMasterLogon);
    case REQUEST_TYPE_ROOT_MASTER_LOGOFF_INVITATION:
      return YBWCManager_ActionsForLogoffInvitation(manager, request);
    case REQUEST_TYPE_ROOT_MASTER_SHUTDOWN:
      manager->bLoggedOn = 0;
      manager->nState = NODE_STATE_SHUTDOWN;
      return answer(request, "Result_InitNonRootMasterShutdown", Result_InitNonRootMasterShutdown);
    case REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION:
      manager->nState = NODE_STATE_IDLE;
      return 0;
    case REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION:
      manager->nState = NODE_STATE_IDLE;
      manager->nSyncPositionId = request->nSyncPositionId;
      manager->nTotalNodes = 0;
      YBWCManager_SetUpSyncPosition(manager, request->psSyncPosition);
      return 0;
    case REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH:
      manager->nState = NODE_STATE_SUPPORT_SEARCH;
      manager->nNoWorkAvailableInARow = 0;
      YBWCManager_PrepareSupportSearch(manager);
      return 0;
    case REQUEST_TYPE_ROOT_MASTER_STOP_REMOTE_SEARCH:
      if (manager->nState == NODE_STATE_SEARCHING) YBWCManager_StopRemoteTestSearch(manager);
      return 0;
    case REQUEST_TYPE_ROOT_MASTER_NEW_GAME:
      manager->nState = NODE_STATE_IDLE;
      YBWCManager_NewGameActions(manager);
      return answer(request, "Result_InitNonRootMasterSyncNewGame", Result_InitNonRootMasterSyncNewGame);
    case REQUEST_TYPE_ROOT_MASTER_SET_OPTION:
      YBWCManager_ApplyForwardedOption(manager, request->psOptionName, request->psOptionValue);
      return answer(request, "Result_InitNonRootMasterSyncSetOption", Result_InitNonRootMasterSyncSetOption);
    case REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST:
      return YBWCManager_StartRemoteTest(manager, request);
    case REQUEST_TYPE_ROOT_MASTER_MACHINE_INFO:
      take_machine_info(manager, request);
      return 0;
    case REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST:
      return answer(request, "Result_InitSyncAfterBroadcast", Result_InitSyncAfterBroadcast);
    case REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK:
      return YBWCManager_CheckSendWorkToSlave(manager, request->nSource, request->nSyncPositionId);
    case REQUEST_TYPE_MASTER_STOP:
      return YBWCManager_ActionsForMasterStop(manager, request);
    case REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT:
      YBWCManager_CountSlaveNodes(request->nNodes);
      return manager->nState == NODE_STATE_SEARCHING ? YBWCManager_ProcessSlaveResult(manager, request) : 0;
    case REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW:
      if (request->nSource == manager->nRank)
        QLOG(1, "ERROR RequestDispatcher_Dispatch(... failed self window update from source %d for rank %d received\n",
             request->nSource, manager->nRank);
      return YBWCManager_ActionsForUpdateSearchWindow(manager, request);
    case REQUEST_TYPE_HASH_TABLE_REPLICATION:
      return YBWCManager_StoreHashTableChunk(manager, request);
    case REQUEST_TYPE_HISTORY_TABLE_REPLICATION:
      return YBWCManager_MergeHistoryIncrements(manager, request);
    case REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION:
      return YBWCManager_MergeHistTotIncrements(manager, request);
    case REQUEST_TYPE_HASH_TABLE_BROADCAST_BUFFER:
    case REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER:
    case REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER:
      return 0;  // never on the wire: they travel as the replication they carry
    default:
      QLOG(1, "ERROR RequestDispatcher_Dispatch(... failed at switch(pRequest->nType) (default), errorcode = %d\n",
           kMessageErrorCode);
      return kMessageErrorCode;
  }
}

// The processor lines of the root master's bookkeeping.
void log_processor(const char* format, int32_t rank, int32_t count, const ProcessorHandler* handler) {
  QLOG(0, format, rank, count, YBWCManager_GetInstance()->nSize - 1, handler->sProcessorName);
}

}  // namespace

int32_t RequestDispatcher_Dispatch(Request* request) {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (request->bParametersUnread) {
    const int32_t code = Request_GetParameterFromBuffer(request);
    request->bParametersUnread = 0;
    if (code != 0) {
      QLOG(1, "ERROR RequestDispatcher_Dispatch(... failed at Request_GetParamterFromBuffer(..., errorcode = %d\n",
           code);
      answer_refused(request);
      return kMessageErrorCode;
    }
  }
  if (needs_idle_or_supporting(request->nType)) {
    // Older requests of this kind go first.
    if (idle_or_supporting(manager) && manager->pDelayedRequestHead != nullptr)
      YBWCManager_DispatchDelayedRequests(manager);
    if (!idle_or_supporting(manager) || manager->pDelayedRequestHead != nullptr)
      return YBWCManager_BufferRequestForDelayedDispatch(manager, request);
  }
  return act_on_request(manager, request);
}

int32_t RequestDispatcher_DispatchDelayed(Request* request) {
  return act_on_request(YBWCManager_GetInstance(), request);
}

int32_t ResultDispatcher_Dispatch(Result* result) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const int32_t code = Result_GetParameterFromBuffer(result);
  if (code != 0) {
    QLOG(1, "ERROR ResultDispatcher_Dispatch(... failed at Result_GetParamterFromBuffer(..., errorcode = %d\n", code);
    return kMessageErrorCode;
  }
  if (const MessageObserver* observer = YBWCManager_GetMessageObserver(); observer->result != nullptr)
    observer->result(result);

  ProcessorHandler* handler = ProcessorHandler_Of(result->nSource);
  switch (result->nType) {
    case RESULT_TYPE_UNDEFINED:
      QLOG(1, "ERROR ResultDispatcher_Dispatch(... failed at switch(pResult->nType) (RESULT_TYPE_UNDEFINED), errorcode = %d\n",
           kMessageErrorCode);
      return kMessageErrorCode;
    case RESULT_TYPE_NON_ROOT_MASTER_LOGON:
      if (handler == nullptr) return 0;
      handler->bLoggedOn = 1;
      std::snprintf(handler->sProcessorName, sizeof handler->sProcessorName, "%s", result->sProcessorName);
      log_processor("Processor <%d> (%d/%d) on <%s> logged on\n", result->nSource, ++manager->nLoggedOnCount, handler);
      return 0;
    case RESULT_TYPE_NON_ROOT_MASTER_LOGOFF:
      if (handler == nullptr) return 0;
      handler->bLoggedOn = 0;
      handler->nState = 8;
      manager->nTotalNodesOfNonRootMasters += result->nTotalNodes;
      --manager->nLoggedOnCount;
      log_processor("Processor <%d> (%d/%d) on <%s> logged off\n", result->nSource, ++manager->nLoggedOffCount,
                    handler);
      return 0;
    case RESULT_TYPE_NON_ROOT_MASTER_SHUTDOWN:
      if (handler == nullptr) return 0;
      handler->bLoggedOn = 0;
      handler->nState = 9;
      log_processor("Processor <%d> (%d/%d) on <%s> has shutdown\n", result->nSource, ++manager->nShutdownCount,
                    handler);
      return 0;
    case RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST:
      return YBWCManager_ActionsForRemoteTestResult(manager, result);
    case RESULT_TYPE_NON_ROOT_MASTER_SYNC_NEW_GAME:
      if (handler == nullptr) return 0;
      handler->bSyncedNewGame = 1;
      log_processor("Processor <%d> (%d/%d) on <%s> synced new game\n", result->nSource,
                    ++manager->nSyncedNewGameCount, handler);
      return 0;
    case RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION:
      if (handler == nullptr) return 0;
      handler->bSyncedSetOption = 1;
      log_processor("Processor <%d> (%d/%d) on <%s> synced set option\n", result->nSource,
                    ++manager->nSyncedSetOptionCount, handler);
      return 0;
    case RESULT_TYPE_MASTER_NO_WORK_AVAILABLE:
      if (manager->nState != NODE_STATE_WAITING_FOR_WORK) return 0;
      manager->nMasterId = -1;
      manager->nState = NODE_STATE_SUPPORT_SEARCH;
      ++manager->nNoWorkAvailableInARow;
      return YBWCManager_DispatchDelayedRequests(manager);
    case RESULT_TYPE_MASTER_WORK_AVAILABLE:
      if (manager->nState != NODE_STATE_WAITING_FOR_WORK) return 0;
      manager->nNoWorkAvailableInARow = 0;
      if (result->nSyncPositionId != manager->nSyncPositionId) {
        QLOG(4, "WARNING ResultDispatcher_Dispatch(... work item for nSyncPositionId = %d received, but slave "
                "nSyncPositionId = %d\n",
             result->nSyncPositionId, manager->nSyncPositionId);
        manager->nState = NODE_STATE_SUPPORT_SEARCH;
        return YBWCManager_DispatchDelayedRequests(manager);
      } else {
        YBWCManager_TakeOverWorkItemHistory(manager, result);
        const int32_t work_code = pellam_actions_for_work_available_received(manager, result);
        if (manager->pConfiguration->nDebugWaitForWorkRate >= 1 && manager->pDumpTimers[1] != nullptr)
          Timer_Restart(manager->pDumpTimers[1]);
        return work_code;
      }
    case RESULT_TYPE_SYNC_AFTER_BROADCAST:
      if (handler == nullptr) return 0;
      handler->bSyncedAfterBroadcast = 1;
      log_processor("Processor <%d> (%d/%d) on <%s> synced after broadcast\n", result->nSource,
                    ++manager->nSyncedAfterBroadcastCount, handler);
      return 0;
    default:
      QLOG(1, "ERROR ResultDispatcher_Dispatch(... failed at switch(pResult->nType) (default), errorcode = %d\n",
           kMessageErrorCode);
      return kMessageErrorCode;
  }
}
