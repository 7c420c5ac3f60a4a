#include "cluster/slave_cycle.h"

#include <algorithm>
#include <cinttypes>

#include "base/configuration.h"
#include "base/log.h"
#include "base/protocol_flags.h"
#include "base/random.h"
#include "base/return_position.h"
#include "base/ybwc_manager.h"
#include "chess/attack.h"
#include "chess/legality.h"
#include "chess/make.h"
#include "chess/move.h"
#include "chess/trans.h"
#include "chess/value.h"
#include "cluster/message_send.h"
#include "cluster/message_service.h"
#include "cluster/request.h"
#include "cluster/result.h"
#include "search/driver.h"
#include "search/search_records.h"
#include "search/stack.h"

namespace {

constexpr int kWorkDepthMax = 63;  // iterations run up to depth 63

// The node of the running work item and what the search reads of the item.
// One item runs at a time: a process searching an item asks for no other.
board_state_t WorkBoard;
undo_record_t MoveAheadUndo[kMoveAheadCapacity];
search_work_item_t WorkItem;

const PellamConfiguration& configuration(const YBWCManager* manager) { return *manager->pConfiguration; }

// Plays the move-ahead list on a copy of the synchronised position, each move
// only when it is legal there (0 entries are skipped, 11 is a null move,
// which a side in check may not make), and checks the item's own move and
// depth. False for an item that does not fit this position.
bool rebuild_work_node(const Result& item) {
  WorkBoard = search_input_board();
  const int count = std::clamp(item.nMoveAheadListCount, 0, kMoveAheadCapacity);
  for (int i = 0; i < count; i++) {
    const int move = item.MoveAheadList[i];
    if (move == MOVE_NONE) continue;
    if (move == MOVE_NULL) {
      if (side_is_in_check(WorkBoard)) return false;
      null_make(WorkBoard, MoveAheadUndo[i]);
      continue;
    }
    if (!move_is_legal(WorkBoard, move)) return false;
    move_make(WorkBoard, move, MoveAheadUndo[i]);
  }
  return item.nDepth >= 1 && item.nDepth <= kWorkDepthMax && move_is_legal(WorkBoard, item.nMove);
}

void take_work_item(const Result& item) {
  WorkItem.nCallType = item.nCallType;
  WorkItem.nMove = item.nMove;
  WorkItem.nDepth = item.nDepth;
  WorkItem.nAlpha = item.nAlpha;
  WorkItem.nBeta = item.nBeta;
  WorkItem.nHeight = item.nHeight;
  WorkItem.bInPV = item.bInPV != 0;
  WorkItem.bExtended = item.bExtended != 0;
  WorkItem.nPlayedNb = item.nPlayedNb;
  WorkItem.bGoodCap = item.bGoodCap != 0;
  WorkItem.bNoMovePlayedYet = item.bNoMovePlayedYet != 0;
  WorkItem.nTransDate = item.nTransDate;
  WorkItem.nKillerCount = std::clamp(item.nKillerListCount, 0, 2 * PvSize);
  for (int i = 0; i < WorkItem.nKillerCount; i++) WorkItem.killers[i] = item.KillerList[i];
}

int pv_length(const move_t* pv) {
  int length = 0;
  while (length < kPVCapacity - 1 && pv[length] != MOVE_NONE) ++length;
  return length;
}

// The slave's result of an item; with_value false: a result that says the
// move was not searched.
int32_t send_best_move_result(YBWCManager* manager, const Result& item, bool with_value) {
  const search_best_t& best = SearchBest[0];
  const int32_t move = with_value ? best.move : item.nMove;
  const int32_t value = with_value ? best.value : ValueNone;
  const int32_t flags = with_value ? best.flags : kSlaveResultFlagsNoValue;
  const int32_t depth = with_value ? best.depth : 0;
  const int32_t length = with_value ? pv_length(best.pv) : 0;
  const int32_t ponder_ok = with_value && length >= 2 && best.pv[0] == best.move && best.pv[1] != MOVE_NULL;
  const uint64_t used = Trans != nullptr ? Trans->entries_used : 0;
  const int64_t nodes_before = SearchCurrent->node_nb;
  const int32_t code = send_request(
      item.nSource, "pellam_send_work_available_best_move_result", "Request_InitSlaveProcessSearchResult",
      [&](Request* request) {
        return Request_InitSlaveProcessSearchResult(request, item.nWorkId, item.nStackIndex, item.nMoveListIndex, move,
                                                    value, flags, depth, SearchCurrent->max_depth, length, best.pv,
                                                    ponder_ok, SearchCurrent->time, SearchCurrent->speed,
                                                    SearchCurrent->cpu, SearchCurrent->node_nb, used);
      });
  manager->nResultSendNodes = SearchCurrent->node_nb - nodes_before;
  return code;
}

// The node asks again: supporting the job's search, delayed requests taken.
void back_to_supporting(YBWCManager* manager) {
  manager->nMasterId = -1;
  manager->bSearchingSubproblem = 0;
  SearchControl->bSearchingSubproblem = false;
  SearchControl->pWorkItem = nullptr;
  SearchControl->bSlaveRerun = false;
  manager->nState = NODE_STATE_SUPPORT_SEARCH;
  SearchControl->bSearchFinishing = false;
  manager->pWorkAvailableResult = nullptr;
  YBWCManager_DispatchDelayedRequests(manager);
}

// One run of the item: the limits of its depth, then the search.
void pellam_work_available_parse_go(YBWCManager* manager) {
  SearchControl->bSlaveRerun = manager->nRerunSearchCounter > 0;
  search_clear();
  // The item's depth is the depth its master needs: "Search Depth" does not
  // replace it.
  SearchLimits->bDepthIsLimited = true;
  SearchLimits->nDepthLimit = WorkItem.nDepth;
  SearchLimits->board = WorkBoard;
  SearchRunning = true;
  if (SearchControl->bStoppingActive) {
    QLOG(1, "ERROR pellam_work_available_parse_go(... stopping is active on entry (set defensive to false now)\n");
    SearchControl->bStoppingActive = false;
  }
  manager->nState = NODE_STATE_SEARCHING;
  manager->bSearchingSubproblem = 1;
  SearchControl->bSearchingSubproblem = true;
  SearchControl->pWorkItem = &WorkItem;
  SearchLimits->bInfinite = false;
  SearchUnbounded = false;
  Delay = false;
  manager->nSecondEntryMoveCountMax = 0;
  search();
  update_search_time();
  SearchRunning = false;
}

int return_position_index(const YBWCManager* manager, int32_t return_position) {
  if (return_position < 0 || return_position >= kReturnPositionValueCount) return -1;
  return manager->nReturnPositionValueToIndex[return_position];
}

// The node of the item is refused like a malformed message, and answered so
// that the master does not wait for the move.
int32_t refuse_work_item(YBWCManager* manager, const Result& item) {
  QLOG(1, "ERROR pellam_actions_for_work_available_received(... work item %" PRId64
          " from master <%d> does not fit the position (move-ahead list, move or depth), refused\n",
       item.nWorkId, item.nSource);
  const int32_t code = send_best_move_result(manager, item, false);
  back_to_supporting(manager);
  return code;
}

// The range check of every window update.
void check_window_ranges() {
  auto outside = [](int alpha, int beta) {
    return alpha < -ValueInf || alpha > ValueInf || beta < -ValueInf || beta > ValueInf || alpha >= beta;
  };
  if (outside(WorkItem.nAlpha, WorkItem.nBeta))
    QLOG(1, "ERROR in pWorkAvailableResult alpha beta range %d .. %d\n", WorkItem.nAlpha, WorkItem.nBeta);
  if (Stack.nCount >= 1 && Stack.entries[0].nCallType == CALL_TYPE_FULL_ROOT) {
    const FullRootPar& root = Stack.entries[0].parameters.fullRootPar;
    if (outside(root.alpha, root.beta))
      QLOG(1, "ERROR in pStackEntryTmp->parameters.fullRootPar alpha beta range %d .. %d\n", root.alpha, root.beta);
  }
}

bool bottom_is_root() { return Stack.nCount >= 1 && Stack.entries[0].nCallType == CALL_TYPE_FULL_ROOT; }

void update_window_directly(int32_t alpha, int32_t beta) {
  if (alpha > WorkItem.nAlpha) {
    WorkItem.nAlpha = alpha;
    WorkItem.bNoMovePlayedYet = false;
    if (WorkItem.nBeta <= WorkItem.nAlpha) WorkItem.nBeta = WorkItem.nAlpha + 1;
  }
  if (beta < WorkItem.nBeta) {
    WorkItem.nBeta = beta;
    if (WorkItem.nBeta <= WorkItem.nAlpha) WorkItem.nAlpha = WorkItem.nBeta - 1;
  }
  if (!bottom_is_root()) return;
  StackEntry& bottom = Stack.entries[0];
  FullRootPar& root = bottom.parameters.fullRootPar;
  bool changed = false;
  if (alpha > root.alpha) {
    root.alpha = alpha;
    bottom.localData.fullRootDat.old_alpha = alpha;
    if (root.beta <= root.alpha) root.beta = root.alpha + 1;
    changed = true;
  }
  if (beta < root.beta) {
    root.beta = beta;
    if (root.beta <= root.alpha) root.alpha = root.beta - 1;
    changed = true;
  }
  if (changed) Stack_PropagateSearchWindow(1);
}

// The rules without direct updates: only a better alpha counts, and it makes
// the item run again unless the improvement is too small or enough of the
// run's work is done already.
void update_window_by_rerun(YBWCManager* manager, int32_t alpha) {
  const PellamConfiguration& config = configuration(manager);
  if (SearchControl->bStoppingActive) {
    if (manager->bWindowUpdateRerun) {
      QLOG(3, "WARNING pellam_actions_for_update_search_window_received(... alpha is improved (now %d) while the actual search has not even stopped for the previous alpha improvement (%d) (start beta %d)\n",
           alpha, WorkItem.nAlpha, WorkItem.nBeta);
      WorkItem.nAlpha = std::max(WorkItem.nAlpha, alpha);
    } else {
      QLOG(3, "WARNING pellam_actions_for_update_search_window_received(... but a cutoff message is processed at the moment, rerun is cancelled\n");
      manager->bWindowUpdateRerun = 0;
    }
    return;
  }
  if (alpha <= WorkItem.nAlpha) return;
  const int32_t old_alpha = WorkItem.nAlpha;
  const int32_t diff = alpha - old_alpha;
  if (diff < config.nMinimumAlphaImprovementForRerunSearch) {
    WorkItem.nAlpha = alpha;
    QLOG(5, "INFO update window message received, rerun avoided for alpha improved from %d to %d (diff = %d) (but minimum needed is %d) (start beta %d)\n",
         old_alpha, alpha, diff, config.nMinimumAlphaImprovementForRerunSearch, WorkItem.nBeta);
    if (bottom_is_root()) {
      FullRootPar& root = Stack.entries[0].parameters.fullRootPar;
      if (alpha > root.alpha) {
        QLOG(0, "INFO actual root alpha improved without rerun from %d to %d (beta %d)\n", root.alpha, alpha, root.beta);
        root.alpha = alpha;
      } else {
        QLOG(1, "ERROR update window message received new alpha %d expected > actual alpha %d at the root (beta %d)\n",
             alpha, root.alpha, root.beta);
      }
    }
    return;
  }

  bool suppress = false;
  if (bottom_is_root() && Stack.nCount >= 2 && WorkItem.nDepth == SearchCurrent->depth) {
    YBWCManager_NoteWorkProgress(manager);
    StackEntry& second = Stack.entries[1];
    int done = 0;
    for (int i = 0; i < second.nMoveCount && i < MoveTableSize; i++)
      if (second.bMoveDoneList[i]) ++done;
    const int highest = manager->nSecondEntryMoveCountMax;
    if (config.nMaximumMovesCompletedForRerunSearch > 0 && done >= config.nMaximumMovesCompletedForRerunSearch) {
      suppress = true;
      QLOG(0, "INFO update window message received -> no rerun -> already %d moves (actual/max %d/%d) completed\n",
           done, second.nMoveCount, highest);
    } else if (config.nMaximumPercentCompletedForRerunSearch > 0 && highest > 0 &&
               100 * done / highest >= config.nMaximumPercentCompletedForRerunSearch) {
      suppress = true;
      QLOG(0, "INFO update window message received -> no rerun -> already %d%%/%d moves (actual/max %d/%d) completed\n",
           100 * done / highest, done, second.nMoveCount, highest);
    }
    if (suppress) {
      int& second_alpha = second.nCallType == CALL_TYPE_FULL_SEARCH ? second.parameters.fullSearchPar.alpha
                                                                     : second.parameters.fullQuiescencePar.alpha;
      if (alpha > second_alpha)
        second_alpha = alpha;
      else
        QLOG(1, "ERROR update window message received new alpha %d expected > actual alpha %d at the root (beta %d)\n",
             alpha, second_alpha, WorkItem.nBeta);
    }
  } else if (bottom_is_root() && WorkItem.nDepth != SearchCurrent->depth) {
    QLOG(5, "INFO update window message received, rerun allowed for actual iteration depth %d, final iteration depth %d not even reached \n",
         SearchCurrent->depth, WorkItem.nDepth);
  }
  if (suppress) {
    if (config.nMaximumAlphaImprovementCheckCompleted > 0 && diff >= config.nMaximumAlphaImprovementCheckCompleted) {
      QLOG(0, "INFO rerun -> reenabled, alpha improved from %d to %d (diff = %d) (max. diff to suppress a rerun is %d) (start beta %d)\n",
           old_alpha, alpha, diff, config.nMaximumAlphaImprovementCheckCompleted, WorkItem.nBeta);
      ++manager->nTotalForcedWindowUpdateRerunCount;
    } else {
      return;
    }
  }
  if (log_level_enabled(5)) {
    char move[8];
    const Result* item = manager->pWorkAvailableResult;
    QLOG(5, "INFO alpha update at work for %d/%d StackIndex %d Move %d %s (%d) WorkId %" PRId64
            " height/depth %d/%d nodes %" PRId64 " local %" PRId64
            ", improved from %d to %d (diff %d) (minimum needed %d) (start beta %d)\n",
         manager->nMasterId, manager->nSize, item != nullptr ? item->nStackIndex : -1,
         item != nullptr ? item->nMoveListIndex + 1 : 0, move_to_text(WorkItem.nMove, move), WorkItem.nMove,
         item != nullptr ? item->nWorkId : -1, WorkItem.nHeight, WorkItem.nDepth, SearchCurrent->node_nb,
         SearchCurrent->node_local_nb, old_alpha, alpha, diff, config.nMinimumAlphaImprovementForRerunSearch,
         WorkItem.nBeta);
  }
  WorkItem.nAlpha = alpha;
  manager->bWindowUpdateRerun = 1;
  pellam_actions_for_stop_received(manager);
}

// The four tests a stop or a window update passes before it acts: the item
// runs, it is a work item, it comes from its master, it names the item.
bool addressed_to_running_item(const YBWCManager* manager, const Request* request, bool stop) {
  const int64_t running = manager->pWorkAvailableResult != nullptr ? manager->pWorkAvailableResult->nWorkId : -1;
  if (manager->nState != NODE_STATE_SEARCHING) {
    if (stop)
      QLOG(5, "INFO stop from master <%d> and for nWorkId to stop = %12" PRId64 " received, but slave has finished the search in between\n",
           request->nSource, request->nWorkId);
    else
      QLOG(5, "INFO update the search window from master <%d> and for nWorkId to update the search window for = %12" PRId64 " received, but slave has finished the search in between\n",
           request->nSource, request->nWorkId);
    return false;
  }
  if (!manager->bSearchingSubproblem) {
    if (stop)
      QLOG(3, "WARNING stop from master <%d> and for nWorkId to stop = %12" PRId64 " received and slave is searching, but slave is not searching for a subproblem\n",
           request->nSource, request->nWorkId);
    else
      QLOG(3, "WARNING update the search window from master <%d> and for nWorkId to update the search window for = %12" PRId64 " received and slave is searching, but slave is not searching for a subproblem\n",
           request->nSource, request->nWorkId);
    return false;
  }
  if (request->nSource != manager->nMasterId) {
    if (stop)
      QLOG(5, "INFO stop from master <%d> and for nWorkId to stop = %12" PRId64 " received but slave is searching already for master <%d>\n",
           request->nSource, request->nWorkId, manager->nMasterId);
    else
      QLOG(5, "INFO update the search window from master <%d> and for nWorkId to update the search window for = %12" PRId64 " received but slave is searching already for master <%d>\n",
           request->nSource, request->nWorkId, manager->nMasterId);
    return false;
  }
  if (request->nWorkId != running) {
    if (stop)
      QLOG(5, "INFO stop from master <%d> received and slave is searching for that master, but nWorkId to stop = %12" PRId64 " and actual nWorkId = %12" PRId64 "\n",
           request->nSource, request->nWorkId, running);
    else
      QLOG(5, "INFO update search window from master <%d> received and slave is searching for that master, but nWorkId to update the search window for = %12" PRId64 " and actual nWorkId = %12" PRId64 "\n",
           request->nSource, request->nWorkId, running);
    return false;
  }
  return true;
}

}  // namespace

int32_t YBWCManager_CheckSendRequestForWork(YBWCManager* manager) {
  if (!manager->bLoggedOn || manager->nState != NODE_STATE_SUPPORT_SEARCH) return 0;
  if (!YBWCManager_IsTimeToRequestWork(manager)) return 0;
  const int32_t target = YBWCManager_ChooseWorkTarget(manager);
  ProcessorHandler* handler = ProcessorHandler_Of(target);
  Request* request = handler != nullptr ? ProcessorHandler_CreateRequest(handler) : nullptr;
  if (request == nullptr) {
    QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... failed at ProcessorHandler_CreateRequest(..., errorcode = %d\n",
         kMessageErrorCode);
    return kMessageErrorCode;
  }
  const int32_t position_id = manager->nSyncPositionId;
  int32_t code = Request_InitSlaveTryToGetWork(request, position_id);
  if (code != 0) {
    request->bSendCancelled = 1;
    QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... failed at Request_InitSlaveTryToGetWork(..., errorcode = %d\n",
         code);
    return code;
  }
  // Creating the request may have serviced messages.
  if (!manager->bLoggedOn || manager->nState != NODE_STATE_SUPPORT_SEARCH) {
    request->bSendCancelled = 1;
    QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... unexpected state change: nState = %d\n", manager->nState);
    return 0;
  }
  if (request->nSyncPositionId != manager->nSyncPositionId) {
    request->bSendCancelled = 1;
    QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... unexpected (2) nSyncPositionId change: expected = %d, actual = %d\n",
         request->nSyncPositionId, manager->nSyncPositionId);
    return 0;
  }
  manager->nState = NODE_STATE_WAITING_FOR_WORK;
  manager->nMasterId = target;
  manager->nStopBeforeWorkId = -1;
  ++manager->nTotalWorkRequestedCount;
  code = Request_Send(request);
  if (code != 0) {
    QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... failed at Request_Send(..., errorcode = %d\n", code);
    // No answer will come: the node asks again later.
    if (manager->nState == NODE_STATE_WAITING_FOR_WORK) {
      manager->nState = NODE_STATE_SUPPORT_SEARCH;
      manager->nMasterId = -1;
    }
    return code;
  }
  if (manager->nState == NODE_STATE_WAITING_FOR_WORK && manager->nSyncPositionId != position_id)
    QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... unexpected (1) nSyncPositionId change: expected = %d, actual = %d\n",
         position_id, manager->nSyncPositionId);
  return 0;
}

bool YBWCManager_IsTimeToRequestWork(YBWCManager* manager) {
  const PellamConfiguration& config = configuration(manager);
  const int32_t factor = std::max(config.nRequestForWorkRepeatBlockFactor, 1);
  const int32_t q = std::min(manager->nNoWorkAvailableInARow / factor, 48);
  int64_t wait = 0;
  if (q > 0) {
    const int64_t limit = std::max<int64_t>(config.nRequestForWorkWaitCounterLimit, 0);
    wait = std::max<int64_t>(config.nRequestForWorkWaitCounterToDouble, 0);
    for (int32_t i = 1; i < q && wait < limit; i++) wait *= 2;
    wait = std::min(wait, limit);
  }
  if (manager->nRequestForWorkWaitCounter >= wait) {
    manager->nRequestForWorkWaitCounter = 0;
    return true;
  }
  ++manager->nRequestForWorkWaitCounter;
  return false;
}

int32_t YBWCManager_ChooseWorkTarget(YBWCManager* manager) {
  if (manager->bSeedRandom) {
    manager->bSeedRandom = 0;
    random_seed(4711);
  }
  if (configuration(manager).bOnlyDistributeWorkOfRootMaster) return 0;
  const int64_t drawn = random_next();
  const int32_t rank = static_cast<int32_t>(drawn * manager->nSize / 32768);
  return rank == manager->nRank ? rank - 1 : rank;
}

int32_t pellam_actions_for_work_available_received(YBWCManager* manager, Result* work_item) {
  const Result& item = *work_item;
  manager->nMasterId = item.nSource;
  manager->pWorkAvailableResult = work_item;
  if (SearchRunning || Delay) {
    // The dispatcher hands over an item only to a free node; should one
    // arrive anyway, its master is answered instead of left waiting.
    QLOG(1, "ERROR pellam_actions_for_work_available_received(... work item received while a search runs or a best move is held back\n");
    const int32_t code = send_best_move_result(manager, item, false);
    back_to_supporting(manager);
    return code;
  }
  if (item.nWorkId == manager->nStopBeforeWorkId) {
    // Its master stopped the item before it arrived: answered at once,
    // unsearched, instead of searched for a master that has moved on.
    manager->nStopBeforeWorkId = -1;
    ++manager->nTotalWorkStartedCount;
    ++manager->nTotalWorkAbortedCount;
    QLOG(5, "INFO work item %" PRId64 " from master <%d> was stopped before it arrived, answered unsearched\n",
         item.nWorkId, item.nSource);
    const int32_t code = send_best_move_result(manager, item, false);
    back_to_supporting(manager);
    return code;
  }
  if (!rebuild_work_node(item)) return refuse_work_item(manager, item);

  ++manager->nTotalWorkStartedCount;
  manager->nRerunSearchCounter = 0;
  manager->bRealStopReceived = 0;
  take_work_item(item);
  manager->bWindowUpdateRerun = 1;  // the first run
  bool finished = false;
  int64_t rerun_nodes = 0;
  while (manager->bWindowUpdateRerun) {
    if (manager->nRerunSearchCounter > 0) rerun_nodes = SearchCurrent->node_nb;
    if (manager->nRerunSearchCounter > manager->nRerunSearchCounterMax) {
      manager->nRerunSearchCounterMax = manager->nRerunSearchCounter;
      QLOG(3, "WARNING pellam_actions_for_work_available_received(... nRerunSearchCounterMax = %d, improved alpha = %d) \n",
           manager->nRerunSearchCounterMax, WorkItem.nAlpha);
    }
    manager->bWindowUpdateRerun = 0;
    pellam_work_available_parse_go(manager);
    if (manager->bRealStopReceived && manager->bWindowUpdateRerun) {
      QLOG(1, "ERROR pellam_work_available_parse_go(... rerun is active after receiving a real stop request from the master (set defensive to false now)\n");
      manager->bWindowUpdateRerun = 0;
    }
    finished = !manager->bWindowUpdateRerun && !SearchControl->bStoppingActive;
    if (finished) ++manager->nTotalWorkFinishedCount;
    SearchControl->bStoppingActive = false;
    ++manager->nRerunSearchCounter;
  }

  const int64_t nodes = SearchCurrent->node_nb;
  const int slot = return_position_index(manager, item.nReturnPosition);
  ReturnPositionStatistics* statistics = slot >= 0 ? &manager->returnPositionStatistics[slot] : nullptr;
  if (statistics != nullptr) {
    ++statistics->nWorkItems;
    statistics->nNodes += nodes;
    statistics->nWindowOverheadNodes += rerun_nodes;
  }
  manager->nWindowUpdateOverheadNodes += rerun_nodes;
  if (!finished) {
    manager->nAbortOverheadNodes += nodes;
    if (statistics != nullptr) statistics->nAbortOverheadNodes += nodes;
  }

  SearchControl->bSearchFinishing = true;
  const bool searched = SearchBest[0].move != MOVE_NONE;
  if (!searched)
    QLOG(5, "INFO slave search cancelled even before really started (the result is not available but not needed anyway)\n");
  const int32_t code = send_best_move_result(manager, item, searched);
  SearchCurrent->node_nb = manager->nResultSendNodes;
  SearchCurrent->time = 0.0;
  SearchCurrent->speed = 0.0;
  SearchCurrent->cpu = 0.0;
  back_to_supporting(manager);
  return code;
}

int32_t YBWCManager_ActionsForMasterStop(YBWCManager* manager, const Request* request) {
  // Requests are taken before results: the stop of the item this node waits
  // for can overtake the item, and is kept for it. (It may as well be the
  // stop of an item already answered, whose id comes no more.)
  if (manager->nState == NODE_STATE_WAITING_FOR_WORK && request->nSource == manager->nMasterId)
    manager->nStopBeforeWorkId = request->nWorkId;
  if (!addressed_to_running_item(manager, request, true)) return 0;
  manager->bRealStopReceived = 1;
  if (SearchControl->bStoppingActive) {
    if (!manager->bWindowUpdateRerun)
      QLOG(1, "ERROR stop from master <%d> received, window update rerun to cancel not set\n", request->nSource);
    manager->bWindowUpdateRerun = 0;
    QLOG(3, "INFO stop from master <%d> received, window update rerun is cancelled \n", request->nSource);
    QLOG(3, "INFO stop from master <%d> received and slave is searching for that master, and nWorkId to stop = %12" PRId64
            " == actual nWorkId = %12" PRId64 " but worker is already and still stopping for a research\n",
         request->nSource, request->nWorkId, request->nWorkId);
    return 0;
  }
  ++manager->nTotalWorkAbortedCount;
  pellam_actions_for_stop_received(manager);
  return 0;
}

int32_t YBWCManager_ActionsForUpdateSearchWindow(YBWCManager* manager, const Request* request) {
  if (!addressed_to_running_item(manager, request, false)) return 0;
  pellam_actions_for_update_search_window_received(manager, request->nAlpha, request->nBeta);
  return 0;
}

void pellam_actions_for_stop_received(YBWCManager*) {
  SearchControl->bStoppingActive = true;
  if (SearchRunning) {
    search_set_stop_request();
    search_clear_infinite();
  } else if (Delay) {
    QLOG(1, "ERROR pellam_actions_for_stop_received(... failed,  unexpected state <Delay>");
  } else {
    QLOG(0, "INFO pellam_actions_for_stop_received(... slave stopped while transmitting result back to master");
    SearchControl->bStoppingActive = false;
  }
}

void pellam_actions_for_update_search_window_received(YBWCManager* manager, int32_t alpha, int32_t beta) {
  if (configuration(manager).bDirectUpdateSearchWindows)
    update_window_directly(alpha, beta);
  else
    update_window_by_rerun(manager, alpha);
  check_window_ranges();
}

void YBWCManager_NoteWorkProgress(YBWCManager* manager) {
  if (!manager->bSearchingSubproblem || Stack.nCount < 2) return;
  manager->nSecondEntryMoveCountMax = std::max(manager->nSecondEntryMoveCountMax, Stack.entries[1].nMoveCount);
}

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
       WorkItem.nAlpha, WorkItem.nBeta, SearchCurrent->node_nb, SearchCurrent->node_local_nb);
}
