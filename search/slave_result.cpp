// A slave's result for a move it was handed: checked against the current
// position, entry and work item before anything is written, then merged into
// the entry as if the entry had searched the move itself. A raised alpha goes
// on to the entry's other slaves and up the stack; a value at beta cuts the
// entry off.
#include <algorithm>
#include <cinttypes>

#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/value.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "search/node.h"
#include "search/report.h"
#include "search/root_move.h"
#include "search/work_distribution.h"

namespace {

const move_t kNoPv[1] = {MOVE_NONE};

// The result belongs to the current position and to a move that entry
// nStackIndex handed to this slave under this work id and is still waiting for.
bool result_belongs_to_stack(const YBWCManager* manager, const Request* r) {
  if (r->nSyncPositionId != manager->nSyncPositionId) {
    QLOG(4, "WARNING YBWCManager_ProcessSlaveResult(... slave result for nSyncPositionId = %d received, but master "
            "nSyncPositionId = %d\n",
         r->nSyncPositionId, manager->nSyncPositionId);
    return false;
  }
  if (r->nStackIndex < 0 || r->nStackIndex >= Stack.nCount) {
    QLOG(4, "WARNING YBWCManager_ProcessSlaveResult(... slave result for nStackIndex = %d received, but top level "
            "stack index = %d\n",
         r->nStackIndex, Stack.nCount - 1);
    return false;
  }
  const StackEntry& e = Stack.entries[r->nStackIndex];
  if (r->nMoveListIndex < 0 || r->nMoveListIndex >= e.nMoveCount) {
    QLOG(4, "WARNING YBWCManager_ProcessSlaveResult(... slave result for nMoveListIndex = %d received, but max move "
            "list index = %d\n",
         r->nMoveListIndex, e.nMoveCount - 1);
    return false;
  }
  const int k = r->nMoveListIndex;
  if (r->nWorkId != e.nWorkIdList[k]) {
    QLOG(4, "WARNING YBWCManager_ProcessSlaveResult(... slave result for nWorkId = %12" PRId64
            " received, but work id = %12" PRId64 " \n",
         r->nWorkId, e.nWorkIdList[k]);
    return false;
  }
  // Work ids are unique per master, so only a result sent twice gets here.
  if ((e.nCallType != CALL_TYPE_FULL_ROOT && e.nCallType != CALL_TYPE_FULL_SEARCH) || !Stack_MoveIsHeld(e, k)) {
    QLOG(4, "WARNING YBWCManager_ProcessSlaveResult(... slave result for nWorkId = %12" PRId64
            " received, but the move is not held by a slave\n",
         r->nWorkId);
    return false;
  }
  return true;
}

// A slave that was stopped before it searched anything has no value for the move.
bool slave_searched_move(const Request* r) {
  return r->nBestMove != MOVE_NONE && r->nFlags >= SEARCH_FLAGS_UPPER && r->nFlags <= SEARCH_FLAGS_EXACT &&
         r->nBestValue >= -ValueInf && r->nBestValue <= ValueInf;
}

const move_t* child_pv_of(const Request* r) { return r->nPVLength >= 1 ? r->PV + 1 : kNoPv; }

void end_entries_from(int index) {
  for (int k = index; k < Stack.nCount; ++k) Stack.entries[k].bAlive = false;
}

// Entry `index` raised its alpha with a slave's value: its other slaves and the
// entries above it get the narrower window.
void alpha_raised(StackEntry& e, int alpha, int beta) {
  const PellamConfiguration& c = *YBWCManager_GetInstance()->pConfiguration;
  if (!c.bUpdateSearchWindows) return;
  const int32_t code = Stack_UpdateSearchWindowForEntry(e, alpha, beta);
  if (code != 0)
    QLOG(1, "ERROR YBWCManager_ProcessSlaveResult(... failed at Stack_UpdateSearchWindowForEntry(..., errorcode = %d\n",
         code);
  if (c.bDirectUpdateSearchWindows) Stack_PropagateSearchWindow(Stack_IndexOf(e) + 1);
}

void merge_into_root(StackEntry& e, const Request* r) {
  const FullRootPar& p = e.parameters.fullRootPar;
  const int k = r->nMoveListIndex;
  SearchCurrent->max_depth = std::max(SearchCurrent->max_depth, r->nMaxDepth + p.height);
  report_postmove(e.nMoveList[k], k, e.nSlaveRankList[k], e.dStartTimeList[k], e.nNodesList[k], e.nAlphaList[k],
                  e.nBetaList[k], e.nValueList[k], e.sStartTimeList[k]);
  switch (root_move_result(e, k, r->nBestMove, r->nBestValue, child_pv_of(r))) {
    case RootMoveOutcome::RaisedAlpha: alpha_raised(e, p.alpha, p.beta); break;
    case RootMoveOutcome::CutOff:
      e.bCutOffBySlave = true;
      e.bAlive = false;
      break;
    case RootMoveOutcome::Kept: break;
  }
}

void merge_into_full_search(StackEntry& e, const Request* r) {
  FullSearchPar& p = e.parameters.fullSearchPar;
  FullSearchDat& d = e.localData.fullSearchDat;
  SearchCurrent->max_depth = std::max(SearchCurrent->max_depth, r->nMaxDepth + p.height);
  if (d.played_nb < MoveTableSize) d.played[d.played_nb++] = static_cast<move_t>(r->nBestMove);
  switch (node_take_child_value(r->nBestValue, r->nBestMove, d.best_value, p.alpha, p.beta, d.best_move, p.pv,
                                child_pv_of(r))) {
    case ChildValue::RaisedAlpha: alpha_raised(e, p.alpha, p.beta); break;
    case ChildValue::CutOff:
      e.bCutOffBySlave = true;
      e.bAlive = false;
      break;
    default: break;
  }
  if (!e.bCutOffBySlave && p.node_type == NODE_CUT) p.node_type = NODE_ALL;
}

}  // namespace

int32_t YBWCManager_ProcessSlaveResult(YBWCManager* manager, Request* r) {
  search_control_t& control = *SearchControl;
  if (++control.nProcessSlaveResultRecursionLevel > 1)
    QLOG(3, "WARNING YBWCManager_ProcessSlaveResult(... potential reentrant problem, recursion level = %d\n",
         control.nProcessSlaveResultRecursionLevel);
  // Nodes that belong to no local root move are kept out of the running root move's count.
  const bool belongs = result_belongs_to_stack(manager, r);
  if (!belongs || r->nStackIndex == 0) control.nSlaveNodesReceived += r->nNodes;
  if (belongs) {
    if (ProcessorHandler* handler = ProcessorHandler_Of(r->nSource)) handler->nTransUsed = r->nTransUsed;
    StackEntry& e = Stack.entries[r->nStackIndex];
    const int k = r->nMoveListIndex;
    const bool searched = slave_searched_move(r);
    if (!searched && e.bAlive && !e.bStopped) {
      // Nobody searched the move: it goes back to the entry, which searches it itself.
      QLOG(5, "INFO YBWCManager_ProcessSlaveResult(... slave result without best move for nStackIndex = %d "
              "nMoveListIndex = %d, the move is searched locally\n",
           r->nStackIndex, k);
      e.nSlaveRankList[k] = -1;
      e.nWorkIdList[k] = -1;
    } else {
      e.bMoveDoneList[k] = true;
      e.nNodesList[k] = r->nNodes;
      e.nValueList[k] = r->nBestValue;
      if (searched && !e.bStopped) {
        if (e.nCallType == CALL_TYPE_FULL_ROOT)
          merge_into_root(e, r);
        else if (e.bAlive)
          merge_into_full_search(e, r);
        if (e.bCutOffBySlave) end_entries_from(r->nStackIndex);
      }
    }
  }
  --control.nProcessSlaveResultRecursionLevel;
  return 0;
}

void YBWCManager_CountSlaveNodes(int64_t nodes) { SearchCurrent->node_nb += nodes; }
