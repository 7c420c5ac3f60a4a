#include "cluster/root_control.h"

#include <strings.h>

#include <algorithm>
#include <string>

#include "base/configuration.h"
#include "base/log.h"
#include "base/option.h"
#include "base/protocol_flags.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "chess/killer.h"
#include "chess/trans.h"
#include "cluster/engine_hooks.h"
#include "cluster/hash_table_buffer.h"
#include "cluster/membership.h"
#include "cluster/message_send.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"
#include "search/driver.h"
#include "search/report.h"
#include "search/search_records.h"

namespace {

const ClusterEngineHooks& hooks() { return *YBWCManager_GetEngineHooks(); }

// The hooks that wait: the answer flag of every rank is cleared, the request
// goes out, and the wait lasts until every rank has answered.
int32_t send_and_wait(YBWCManager* manager, const char* hook, const char* init_name,
                      const std::function<int32_t(Request*)>& init, int32_t ProcessorHandler::*answered,
                      int32_t& answer_count) {
  answer_count = 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++)
    if (ProcessorHandler* handler = ProcessorHandler_Of(rank)) handler->*answered = 0;
  const int32_t code = YBWCManager_SendToPeers(manager, hook, init_name, init, false);
  if (code != 0) return code;
  return YBWCManager_WaitForPeers(manager, hook, [manager, answered] {
    return YBWCManager_EveryPeer(manager, [answered](const ProcessorHandler& h) { return h.*answered != 0; });
  });
}

// The running search's statistics start from zero.
void clear_search_statistics() {
  SearchCurrent->node_nb = 0;
  SearchCurrent->time = 0.0;
  SearchCurrent->speed = 0.0;
  SearchCurrent->cpu = 0.0;
}

int pv_length(const move_t* pv) {
  int length = 0;
  while (length < kPVCapacity - 1 && pv[length] != MOVE_NONE) ++length;
  return length;
}

int32_t send_remote_test_result(int32_t destination, bool searched) {
  const search_best_t& best = SearchBest[0];
  const int32_t length = searched ? pv_length(best.pv) : 0;
  const int32_t ponder_ok = searched && length >= 2 && best.pv[0] == best.move && best.pv[1] != MOVE_NULL;
  return send_result(destination, "pellam_send_remote_test_best_move_result", "Result_InitNonRootMasterRemoteTest",
                     [&](Result* result) {
                       if (!searched)
                         return Result_InitNonRootMasterRemoteTest(result, MOVE_NONE, 0, 0, 0, 0, 0, nullptr, 0, 0.0,
                                                                   0.0, 0.0, 0);
                       return Result_InitNonRootMasterRemoteTest(
                           result, best.move, best.value, best.flags, best.depth, SearchCurrent->max_depth, length,
                           best.pv, ponder_ok, SearchCurrent->time, SearchCurrent->speed, SearchCurrent->cpu,
                           SearchCurrent->node_nb);
                     });
}

bool is_option(const char* name, const char* wanted) { return strcasecmp(name, wanted) == 0; }

}  // namespace

int32_t YBWCManager_HookPosition(YBWCManager* manager, const char* position_line) {
  ++manager->nSyncPositionId;
  return YBWCManager_SendToPeers(manager, "YBWCManager_HookPosition", "Request_InitRootMasterSyncPosition",
                                 [position_line](Request* r) { return Request_InitRootMasterSyncPosition(r, position_line); },
                                 false);
}

int32_t YBWCManager_HookGo(YBWCManager* manager) {
  for (int32_t rank = 1; rank < manager->nSize; rank++)
    if (ProcessorHandler* handler = ProcessorHandler_Of(rank)) handler->nTransUsed = 0;
  return YBWCManager_SendToPeers(manager, "YBWCManager_HookGo", "Request_InitRootMasterSupportSearch",
                                 Request_InitRootMasterSupportSearch, false);
}

int32_t YBWCManager_HookSearchTerminated(YBWCManager* manager) {
  if (!manager->bRootMaster) return 0;
  return YBWCManager_SendToPeers(manager, "YBWCManager_HookSearchTerminated", "Request_InitRootMasterIdleInvitation",
                                 Request_InitRootMasterIdleInvitation, false);
}

int32_t YBWCManager_HookStop(YBWCManager* manager) {
  if (manager->nState != NODE_STATE_REMOTE_TEST || manager->nRemoteTestProcessorId < 1) return 0;
  return send_request(manager->nRemoteTestProcessorId, "YBWCManager_HookStop", "Request_InitRootMasterStopRemoteSearch",
                      Request_InitRootMasterStopRemoteSearch);
}

int32_t YBWCManager_HookNewGame(YBWCManager* manager) {
  return send_and_wait(manager, "YBWCManager_HookNewGame", "Request_InitRootMasterNewGame",
                       Request_InitRootMasterNewGame, &ProcessorHandler::bSyncedNewGame,
                       manager->nSyncedNewGameCount);
}

int32_t YBWCManager_HookSetOption(YBWCManager* manager, const char* name, const char* value) {
  return send_and_wait(
      manager, "YBWCManager_HookSetOption", "Request_InitRootMasterSetOption",
      [name, value](Request* r) { return Request_InitRootMasterSetOption(r, name, value); },
      &ProcessorHandler::bSyncedSetOption, manager->nSyncedSetOptionCount);
}

int32_t YBWCManager_HookRemoteTest(YBWCManager* manager, int32_t processor_id, const char* go_parameters) {
  manager->nRemoteTestProcessorId = processor_id;
  return send_request(processor_id, "YBWCManager_HookRemoteTest", "Request_InitRootMasterRemoteTest",
                      [go_parameters](Request* r) { return Request_InitRootMasterRemoteTest(r, go_parameters); });
}

int32_t YBWCManager_ChangeHashSize(YBWCManager* manager) {
  // Each step waits for every rank: no process still maps the old segment
  // when the first one creates the segment of the new size.
  manager->bNoTransStore = 1;
  if (manager->pHashTableSendBuffer != nullptr) HashTableBuffer_Reset(manager->pHashTableSendBuffer);
  int32_t first_code = YBWCManager_HookSetOption(manager, kHashStep1Detach, "");
  if (hooks().detach_transposition_table != nullptr) hooks().detach_transposition_table();
  int32_t code = YBWCManager_HookSetOption(manager, kHashStep2Delete, "");
  if (first_code == 0) first_code = code;
  if (hooks().delete_transposition_table != nullptr) hooks().delete_transposition_table();
  if (hooks().realloc_transposition_table != nullptr) hooks().realloc_transposition_table(option_get_hash_megabytes());
  code = YBWCManager_HookSetOption(manager, kHashStep3Init, option_get("Hash"));
  if (first_code == 0) first_code = code;
  manager->bNoTransStore = 0;
  return first_code;
}

void YBWCManager_SetUpSyncPosition(YBWCManager*, const char* position_command) {
  if (hooks().init_engine_once != nullptr) hooks().init_engine_once();
  if (hooks().parse_position != nullptr && position_command != nullptr) {
    std::string line = position_command;  // the parser cuts the line in place
    hooks().parse_position(line.data());
  }
  // Every new position starts from fresh tables (and marks them ready for
  // the increments other processes send about it).
  killer_clear();
  history_block_reset();
}

void YBWCManager_PrepareSupportSearch(YBWCManager*) {
  if (Trans != nullptr && Trans->table != nullptr) {
    trans_date_set(Trans, Trans->current_date);
    QLOG(6, "trans_set_date(... %d\n", Trans->current_date);
  }
  clear_search_statistics();
}

void YBWCManager_StopRemoteTestSearch(YBWCManager* manager) {
  if (!SearchRunning || manager->bSearchingSubproblem) return;
  search_set_stop_request();
  search_clear_infinite();
}

void YBWCManager_NewGameActions(YBWCManager*) {
  if (EngineReady && !SearchRunning && !Delay && Trans != nullptr && Trans->table != nullptr) trans_wipe(Trans);
}

void YBWCManager_ApplyForwardedOption(YBWCManager* manager, const char* name, const char* value) {
  if (is_option(name, kHashStep1Detach)) {
    manager->bNoTransStore = 1;
    if (manager->pHashTableSendBuffer != nullptr) HashTableBuffer_Reset(manager->pHashTableSendBuffer);
    const int32_t code = YBWCManager_WaitForSyncAfterBroadcast(manager);
    if (code != 0)
      QLOG(1, "ERROR YBWCManager_ApplyForwardedOption(... failed at YBWCManager_WaitForSyncAfterBroadcast(..., errorcode = %d\n",
           code);
    if (hooks().detach_transposition_table != nullptr) hooks().detach_transposition_table();
  } else if (is_option(name, kHashStep2Delete)) {
    if (hooks().delete_transposition_table != nullptr) hooks().delete_transposition_table();
  } else if (is_option(name, kHashStep3Init)) {
    option_set_value("Hash", value);
    PellamConfiguration_ReadFromOptions(manager->pConfiguration);
    if (hooks().realloc_transposition_table != nullptr) hooks().realloc_transposition_table(option_get_hash_megabytes());
    manager->bNoTransStore = 0;
  } else if (is_option(name, "Hash")) {
    // The size arrives with the third step of the change.
  } else {
    if (hooks().apply_option != nullptr) hooks().apply_option(name, value);
    if (is_option(name, "Lower Process Priority To Favor GUI Updates")) YBWCManager_AdjustProcessPriority(manager);
  }
}

int32_t YBWCManager_StartRemoteTest(YBWCManager* manager, const Request* request) {
  if (SearchRunning || Delay || hooks().parse_go == nullptr) {
    // Nothing would ever answer the root master, which waits for the result.
    QLOG(3, "WARNING YBWCManager_StartRemoteTest(... remote test not taken (search running %d, best move held %d)\n",
         SearchRunning ? 1 : 0, Delay ? 1 : 0);
    return send_remote_test_result(request->nSource, false);
  }
  if (hooks().init_engine_once != nullptr) hooks().init_engine_once();
  search_clear();
  clear_search_statistics();
  hooks().parse_go(request->psGoCommands != nullptr ? request->psGoCommands : "");
  const int32_t code = send_remote_test_result(request->nSource, true);
  // An unbounded test ("infinite", "ponder") ends with its stop: nothing is
  // held back here, and the next test or work item must find the node free.
  SearchUnbounded = false;
  Delay = false;
  manager->nState = NODE_STATE_IDLE;
  YBWCManager_DispatchDelayedRequests(manager);
  return code;
}

int32_t YBWCManager_ActionsForRemoteTestResult(YBWCManager* manager, const Result* result) {
  if (manager->nState != NODE_STATE_REMOTE_TEST || result->nSource != manager->nRemoteTestProcessorId) {
    QLOG(3, "WARNING YBWCManager_ActionsForRemoteTestResult(... result of rank %d without its remote test ignored\n",
         result->nSource);
    return 0;
  }
  search_best_t& best = SearchBest[0];
  best.move = result->nBestMove;
  best.value = result->nBestValue;
  best.flags = result->nFlags;
  best.depth = result->nDepth;
  const int32_t length = std::clamp(result->nPVLength, 0, PvSize - 1);
  for (int32_t i = 0; i < length; i++) best.pv[i] = result->PV[i];
  best.pv[length] = MOVE_NONE;
  SearchCurrent->max_depth = result->nMaxDepth;
  SearchCurrent->time = result->dTime;
  SearchCurrent->speed = result->dSpeed;
  SearchCurrent->cpu = result->dCPU;
  SearchCurrent->node_nb = result->nNodes;

  SearchRunning = false;
  Delay = SearchUnbounded;
  // Reported while the state still says remote test: the times are the remote rank's.
  if (!Delay) report_best_move();
  history_reset();
  manager->nRemoteTestProcessorId = -1;
  manager->nState = NODE_STATE_IDLE;
  return 0;
}
