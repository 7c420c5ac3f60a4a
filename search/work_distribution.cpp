// Handing out moves of the stack: the scan for an entry whose elder brothers
// have been searched, the bounds of depth and height, the move's history
// value, the work item with its move-ahead and killer lists, and the record
// in the entry of who holds the move.
#include "search/work_distribution.h"

#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "chess/killer.h"
#include "chess/legality.h"
#include "chess/piece.h"
#include "chess/trans.h"
#include "chess/value.h"
#include "cluster/message_send.h"
#include "cluster/processor_handler.h"
#include "cluster/result.h"
#include "search/report.h"
#include "search/stack.h"

namespace {

// The history score below which an entry is expected to prune its later quiet
// moves: a fixed constant, independent of "History Threshold".
constexpr int kExpectedHistoryPruningScore = 9830;
// Moves one request may append to an entry's table.
constexpr int kTableExtensionPerRequest = 2;

const PellamConfiguration& configuration() { return *YBWCManager_GetInstance()->pConfiguration; }

// The lists of the work item being sent; its initialiser packs them at once.
uint16_t MoveAheadList[kMoveAheadCapacity];
uint16_t KillerList[kKillerCapacity];

// No work comes from a node whose parent searches it with a null window before
// a possible re-search (270), nor from the root's re-search of such a move (120, 130).
bool eligible_return_position(int return_position) {
  switch (return_position) {
    case RETURN_POSITION_FUNCTION_END:
    case RETURN_POSITION_FULL_ROOT_01:
    case RETURN_POSITION_FULL_ROOT_01_1:
    case RETURN_POSITION_FULL_ROOT_01_2:
    case RETURN_POSITION_FULL_ROOT_03_1:
    case RETURN_POSITION_FULL_ROOT_04:
    case RETURN_POSITION_FULL_SEARCH_01:
    case RETURN_POSITION_FULL_SEARCH_02:
    case RETURN_POSITION_FULL_SEARCH_03:
    case RETURN_POSITION_FULL_SEARCH_03_1:
    case RETURN_POSITION_FULL_SEARCH_04:
    case RETURN_POSITION_FULL_SEARCH_05:
    case RETURN_POSITION_FULL_SEARCH_06:
    case RETURN_POSITION_FULL_SEARCH_08:
    case RETURN_POSITION_FULL_SEARCH_09:
    case RETURN_POSITION_FULL_NO_NULL_01:
    case RETURN_POSITION_FULL_QUIESCENCE_01: return true;
    default: return false;
  }
}

// The remaining depth (depth - 1) and the entry's own height within the
// configured bounds; a maximum of 0 means none.
bool within_bounds(const PellamConfiguration& c, int min_remaining_depth, int depth, int height) {
  const int remaining = depth - 1;
  return min_remaining_depth <= remaining &&
         (c.nMaximumRemoteSearchDepth == 0 || remaining <= c.nMaximumRemoteSearchDepth) &&
         c.nMinimumRemoteSearchHeight <= height &&
         (c.nMaximumRemoteSearchHeight == 0 || height <= c.nMaximumRemoteSearchHeight);
}

int brothers_offset(const PellamConfiguration& c, int node_type) {
  if (node_type == NODE_CUT) return c.nBrothersFinishedTypeCutOffset;
  if (node_type == NODE_ALL) return c.nBrothersFinishedTypeAllOffset;
  return c.nBrothersFinishedTypePVOffset;
}

// The search board at a lower entry's position while that entry's scan needs
// its move generator or history, and at the top's position again afterwards.
class EntryBoard {
 public:
  explicit EntryBoard(int index) : index_(index) {}
  EntryBoard(const EntryBoard&) = delete;
  EntryBoard& operator=(const EntryBoard&) = delete;
  ~EntryBoard() { restore(); }
  board_state_t& at_entry() {
    if (!down_) {
      Stack_UndoMoves(index_);
      down_ = true;
    }
    return SearchCurrent->board;
  }
  void restore() {
    if (down_) Stack_DoMoves(index_);
    down_ = false;
  }

 private:
  int index_;
  bool down_ = false;
};

// The moves from the synchronised position to entry `index`'s position: the
// master's own work item first, then the move each lower entry has on the
// board. Entries that search their own position add nothing, so the list
// holds at most one move per height and fits the receiver's list.
bool build_move_ahead_list(int index, int* count) {
  int n = 0;
  const auto add = [&n](int move) {
    if (move == MOVE_NONE) return true;
    if (n >= kMoveAheadCapacity) return false;
    MoveAheadList[n++] = static_cast<uint16_t>(move);
    return true;
  };
  const YBWCManager* manager = YBWCManager_GetInstance();
  if (const Result* item = manager->pWorkAvailableResult; manager->bSearchingSubproblem && item != nullptr)
    for (int k = 0; k < item->nMoveAheadListCount && k < kMoveAheadCapacity; ++k)
      if (!add(item->MoveAheadList[k])) return false;
  for (int i = 0; i < index; ++i) {
    const StackEntry& entry = Stack.entries[i];
    if (entry.nCallType != CALL_TYPE_FULL_QUIESCENCE && !add(Stack_EntryBoardMove(entry))) return false;
  }
  *count = n;
  return true;
}

// The killers of the heights below the giving entry, as pairs in height order.
int build_killer_list(int height) {
  if (!configuration().bTransmitKillerTable) return 0;
  int n = 0;
  for (int h = height + 1; h <= SearchCurrent->max_height && n + 2 <= kKillerCapacity; ++h) {
    KillerList[n++] = killer_get(h, 0);
    KillerList[n++] = killer_get(h, 1);
  }
  return n;
}

bool first_move_of_earlier_line(int move, int multipv) {
  for (int line = 0; line < multipv && line < MultiPVMax; ++line)
    if (SearchBest[line].pv[0] == move) return true;
  return false;
}

bool scan_root(int index, int slave, int sync_id, bool first_step, int min_depth) {
  const PellamConfiguration& c = configuration();
  StackEntry& e = Stack.entries[index];
  const FullRootPar& p = e.parameters.fullRootPar;
  const FullRootDat& d = e.localData.fullRootDat;
  if (e.nBrothersFinished < c.nMinimumBrothersFinishedRoot) return false;
  if (first_step && e.nBrothersFinished < c.nMinimumBrothersFinishedRootFirstStep) return false;
  const int multipv = SearchCurrent->multipv;
  if (multipv == 0 && d.best_value[0] == ValueNone)
    QLOG(1,
         "ERROR Stack_HasSendWorkToSlave(... root move "
         "pStackEntry->localData.fullRootDat.best_value[SearchCurrent->multipv] == ValueNone\n");
  if (!within_bounds(c, min_depth, p.depth, p.height)) return false;

  const int end = c.bAllowDistributionOfLastMoveInList ? e.nMoveCount : e.nMoveCount - 1;
  for (int j = e.nActualMoveIndex + 1; j < end; ++j) {
    if (first_move_of_earlier_line(e.nMoveList[j], multipv)) continue;
    if (e.nSlaveRankList[j] >= 1 || e.bMoveDoneList[j]) continue;
    const WorkItemFields fields{CALL_TYPE_FULL_ROOT, e.nReturnPosition, e.nMoveList[j], p.depth,
                                HeightOffset + p.height, true, false,
                                d.best_value[multipv] != ValueNone ? 1 : 0, 0, p.alpha, p.beta, false};
    Stack_SendWorkToSLave(slave, sync_id, index, j, fields);
    return true;
  }
  return false;
}

enum class Extension { Appended, Exhausted, NotNow };

// One more move from the entry's own generator into its table. NotNow: the
// table is full or this request's share of generated moves is spent.
Extension extend_table(StackEntry& e, EntryBoard& board, int* budget) {
  if (e.bMoveListComplete) return Extension::Exhausted;
  if (*budget <= 0 || e.nMoveCount >= MoveTableSize) return Extension::NotNow;
  FullSearchDat& d = e.localData.fullSearchDat;
  const int move = picker_next(d.picker, board.at_entry());
  if (move == MOVE_NONE) {
    e.bMoveListComplete = true;
    return Extension::Exhausted;
  }
  Stack_AppendMove(e, move, d.picker.history_value);
  --*budget;
  return Extension::Appended;
}

// The entry searches its current move with a history score so low that its
// later quiet moves will be pruned: none of them is worth a slave.
bool history_pruning_expected(const StackEntry& e, EntryBoard& board) {
  const FullSearchPar& p = e.parameters.fullSearchPar;
  const FullSearchDat& d = e.localData.fullSearchDat;
  if (d.in_check || p.depth > 6 || p.node_type == NODE_PV) return false;
  if (d.history_value >= kExpectedHistoryPruningScore / (p.depth / 3 + 1)) return false;
  const board_state_t& b = board.at_entry();
  return !(d.move != MOVE_NONE && piece_is_pawn(b.squares[move_from(d.move)]) && move_creates_passer(d.move, b));
}

// The history value sent with move j: the table's, refreshed below 16384
// (the table keeps its value).
int refreshed_history_value(const StackEntry& e, int j, EntryBoard& board) {
  const int value = e.nHistoryValueList[j];
  if (value >= HistoryProbMax) return value;
  const int fresh = history_prob(e.nMoveList[j], board.at_entry());
  if (fresh < value) QLOG(5, "INFO \"good\" update of history prob from %d to %d\n", value, fresh);
  if (fresh > value) QLOG(5, "INFO \"bad\" update of history prob from %d to %d\n", value, fresh);
  return fresh;
}

bool scan_full_search(int index, int slave, int sync_id, bool first_step, int min_depth) {
  const PellamConfiguration& c = configuration();
  StackEntry& e = Stack.entries[index];
  const FullSearchPar& p = e.parameters.fullSearchPar;
  const FullSearchDat& d = e.localData.fullSearchDat;
  const int threshold = c.nMinimumBrothersFinished + brothers_offset(c, p.node_type);
  if (threshold > e.nActualMoveIndex || !within_bounds(c, min_depth, p.depth, p.height)) return false;
  if (first_step && e.nActualMoveIndex < c.nMinimumBrothersFinishedFirstStep) return false;
  if (d.best_value == ValueNone && threshold > 0)
    QLOG(1,
         "ERROR Stack_HasSendWorkToSlave(... full search move pStackEntry->localData.fullSearchDat.best_value == "
         "ValueNone\n");
  if (!eligible_return_position(e.nReturnPosition)) return false;

  EntryBoard board(index);
  const bool allow_last = c.bAllowDistributionOfLastMoveInList != 0;
  int budget = kTableExtensionPerRequest;
  for (int j = e.nActualMoveIndex + 1;; ++j) {
    bool last_to_look_at = false;
    if (j < e.nMoveCount) {
      // Move j may be handed out only once a later move is known to exist.
      if (!allow_last && j == e.nMoveCount - 1 && extend_table(e, board, &budget) != Extension::Appended) break;
    } else {
      if (extend_table(e, board, &budget) != Extension::Appended) break;
      last_to_look_at = true;
      if (!allow_last && extend_table(e, board, &budget) != Extension::Appended) break;
    }
    if (e.nSlaveRankList[j] < 1 && !e.bMoveDoneList[j]) {
      const int value = refreshed_history_value(e, j, board);
      if (history_pruning_expected(e, board)) {
        QLOG(5, "INFO Stack_HasSendWorkToSlave(... history pruning expected -> Stack_SendWorkToSLave(... suppressed\n");
        return false;
      }
      const WorkItemFields fields{CALL_TYPE_FULL_SEARCH, e.nReturnPosition, e.nMoveList[j], p.depth,
                                  HeightOffset + p.height, p.node_type == NODE_PV, p.extended, d.played_nb, value,
                                  p.alpha, p.beta, d.good_cap};
      board.restore();
      Stack_SendWorkToSLave(slave, sync_id, index, j, fields);
      return true;
    }
    if (last_to_look_at) break;
  }
  return false;
}

int32_t send_no_work(int32_t slave, int32_t sync_id) {
  const int32_t code = send_result(slave, "YBWCManager_CheckSendWorkToSlave", "Result_InitMasterNoWorkAvailable",
                                   [sync_id](Result* result) { return Result_InitMasterNoWorkAvailable(result, sync_id); });
  return code;
}

}  // namespace

int32_t YBWCManager_CheckSendWorkToSlave(YBWCManager* manager, int32_t slave, int32_t nSyncPositionId) {
  search_control_t& control = *SearchControl;
  if (++control.nCheckSendWorkRecursionLevel > 1)
    QLOG(5, "YBWCManager_CheckSendWorkToSlave(... potential reentrant problem, recursion level = %d\n",
         control.nCheckSendWorkRecursionLevel);
  bool sent = false;
  if (manager->nState == NODE_STATE_SEARCHING &&
      (manager->bRootMaster || !manager->pConfiguration->bOnlyDistributeWorkOfRootMaster)) {
    if (nSyncPositionId != manager->nSyncPositionId)
      QLOG(3, "WARNING YBWCManager_CheckSendWorkToSlave(... master and slave position out of sync\n");
    else if (control.bStoppingActive)
      QLOG(5, "INFO YBWCManager_CheckSendWorkToSlave(... pThis->bStoppingActive is true (master is stopping just now)\n");
    else if (control.bStackStopgActive)
      QLOG(5,
           "INFO YBWCManager_CheckSendWorkToSlave(... pThis->bStackStopgActive is true (master has stopped just now)\n");
    else if (!control.bEnableWorkDistribution)
      QLOG(3,
           "WARNING YBWCManager_CheckSendWorkToSlave(... pThis->bEnableWorkDistribution is false (reentrant problem)\n");
    else if (!control.bSearchFinishing && Stack.nUpdateSearchWindowRecursionLevel == 0)
      sent = Stack_HasSendWorkToSlave(slave, nSyncPositionId);
  }
  const int32_t code = sent ? 0 : send_no_work(slave, nSyncPositionId);
  --control.nCheckSendWorkRecursionLevel;
  return code;
}

bool Stack_HasSendWorkToSlave(int32_t slave, int32_t nSyncPositionId) {
  if (Stack.nCount == 0) return false;
  const PellamConfiguration& c = configuration();
  const ProcessorHandler* handler = ProcessorHandler_Of(slave);
  const int min_depth =
      handler != nullptr && handler->bSameNode ? c.nMinimumRemoteSearchDepthSameNode : c.nMinimumRemoteSearchDepth;
  const bool reverse = c.bReverseSearchStackDistributionOrder != 0;
  const int steps = c.bUseMultiStepStackSearch ? 2 : 1;
  for (int step = 0; step < steps; ++step) {
    const bool first_step = steps == 2 && step == 0;
    bool past_quiescence = false;
    for (int n = 0; n < Stack.nCount; ++n) {
      const int index = reverse ? Stack.nCount - 1 - n : n;
      const StackEntry& e = Stack.entries[index];
      if (e.nCallType == CALL_TYPE_FULL_QUIESCENCE) {
        past_quiescence = !reverse;
        continue;
      }
      if (e.nCallType != CALL_TYPE_FULL_ROOT && e.nCallType != CALL_TYPE_FULL_SEARCH) continue;
      if (e.bStopped || !e.bDistributionAllowed) continue;
      if (!e.bAlive) {
        QLOG(5, "INFO Stack_HasSendWorkToSlave(... pStackEntry is no longer alive\n");
        continue;
      }
      const bool root = e.nCallType == CALL_TYPE_FULL_ROOT;
      if (root ? scan_root(index, slave, nSyncPositionId, first_step, min_depth)
               : scan_full_search(index, slave, nSyncPositionId, first_step, min_depth)) {
        if (past_quiescence)
          QLOG(1, root ? "ERROR Stack_HasSendWorkToSlave(... root move distributed now, but only because of "
                         "defensive programming\n"
                       : "ERROR Stack_HasSendWorkToSlave(... full search move distributed now, but only because of "
                         "defensive programming\n");
        return true;
      }
    }
  }
  return false;
}

int32_t Stack_SendWorkToSLave(int32_t slave, int32_t nSyncPositionId, int index, int j, const WorkItemFields& f) {
  if (f.nCallType != CALL_TYPE_FULL_ROOT && f.nCallType != CALL_TYPE_FULL_SEARCH) return 0;
  YBWCManager* manager = YBWCManager_GetInstance();
  StackEntry& e = Stack.entries[index];

  int move_ahead_count = 0;
  int32_t code = build_move_ahead_list(index, &move_ahead_count) ? 0 : kMessageErrorCode;
  if (code != 0) QLOG(1, "ERROR Stack_SendWorkToSLave(... move-ahead list longer than %d moves\n", kMoveAheadCapacity);
  const int killer_count = build_killer_list(f.nHeight - HeightOffset);

  e.nSlaveRankList[j] = slave;
  e.bWorkSentToSlave = true;
  if (manager->bRootMaster) {
    update_search_time();
    e.dStartTimeList[j] = SearchCurrent->time;
    wall_clock_text(e.sStartTimeList[j], sizeof e.sStartTimeList[j]);
    e.nAlphaList[j] = f.nAlpha;
    e.nBetaList[j] = f.nBeta;
  }
  SearchControl->bEnableWorkDistribution = false;

  ProcessorHandler* handler = ProcessorHandler_Of(slave);
  Result* result = nullptr;
  if (code == 0) {
    result = handler != nullptr ? ProcessorHandler_CreateResult(handler) : nullptr;
    if (result == nullptr) {
      code = kMessageErrorCode;
      QLOG(1, "ERROR Stack_SendWorkToSLave(... failed at ProcessorHandler_CreateResult(..., errorcode = %d\n", code);
    }
  }
  if (code == 0) {
    code = Result_InitMasterWorkAvailable(result, index, j, f.nCallType, f.nReturnPosition, f.nMove, f.nDepth,
                                          f.nDepth - 1, f.nHeight, f.bExtended, f.bInPV, f.nPlayedNb,
                                          f.nHistoryValue, f.nAlpha, f.nBeta, Trans != nullptr ? Trans->current_date : 0,
                                          f.bGoodCap, move_ahead_count, MoveAheadList, killer_count, KillerList);
    if (code != 0) {
      result->bSendCancelled = 1;
      QLOG(1, "ERROR Stack_SendWorkToSLave(... failed at Result_InitMasterWorkAvailable(..., errorcode = %d\n", code);
    }
  }
  if (code == 0) {
    if (nSyncPositionId == manager->nSyncPositionId) {
      e.nWorkIdList[j] = result->nWorkId;
      code = Result_Send(result);  // the record belongs to the queue from here on
      if (code != 0) {
        QLOG(1, "ERROR Stack_SendWorkToSLave(... failed at Result_Send(..., errorcode = %d\n", code);
      } else if (nSyncPositionId != manager->nSyncPositionId) {
        QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... unexpected (1) nSyncPositionId change (..., nSyncPositionId = %d\n",
             manager->nSyncPositionId);
        code = kMessageErrorCode;
      }
    } else {
      result->bSendCancelled = 1;
      QLOG(1, "ERROR YBWCManager_CheckSendRequestForWork(... unexpected (2) nSyncPositionId change (..., nSyncPositionId = %d\n",
           manager->nSyncPositionId);
      code = kMessageErrorCode;
    }
  }
  if (code != 0) {
    QLOG(1, "ERROR Stack_SendWorkToSLave(... failed\n");
    e.nSlaveRankList[j] = -1;
    e.nAlphaList[j] = 0;
    e.nBetaList[j] = 0;
    e.nWorkIdList[j] = -1;
  }
  SearchControl->bEnableWorkDistribution = true;
  return code;
}
