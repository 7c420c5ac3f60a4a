#include "search/stack.h"

#include <cstdio>
#include <cstring>

#include "base/fatal.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "cluster/membership.h"
#include "platform/memory.h"
#include "search/node.h"
#include "search/search_parameters.h"

// Every node touches its own entry: huge pages keep the entries of a deep
// line from costing an address-translation miss each.
alignas(kHugePageBytes) SearchStack Stack = {StackCapacity, 0, {}, 0};

void Stack_ClearEntryHeader(StackEntry& entry) {
  entry.bAlive = true;
  entry.bMoveLoopDone = false;
  entry.nActualMoveIndex = 0;
  entry.nBrothersFinished = 0;
  entry.nMoveCount = 0;
  entry.bMoveListComplete = false;
  entry.bCutOffBySlave = false;
  entry.bDistributionAllowed = false;
  entry.bWorkSentToSlave = false;
  entry.bStopped = false;
  entry.bCutOff = false;
}

namespace {

int dispatch(StackEntry& entry, int resume) {
  switch (entry.nCallType) {
    case CALL_TYPE_FULL_ROOT: return full_root_step(entry, resume);
    case CALL_TYPE_FULL_SEARCH: return full_search_step(entry, resume);
    case CALL_TYPE_FULL_NO_NULL: return full_no_null_step(entry, resume);
    case CALL_TYPE_FULL_QUIESCENCE: return full_quiescence_step(entry, resume);
    default: return entry.nResult;
  }
}

void service_messages() {
  search_info_t* const info = SearchInfo;
  if (info->check_nb_mpi_poll < info->check_nb_mpi_poll_min) {
    info->check_nb_mpi_poll_min = info->check_nb_mpi_poll;
    QLOG(5, "SearchInfo->check_nb_mpi_poll_min = %d\n", info->check_nb_mpi_poll_min);
  }
  info->check_nb_mpi_poll += info->check_inc_mpi_poll;
  // A one-process search has no messages to take.
  if (search_process_count() > 1) YBWCManager_ServiceMessages(YBWCManager_GetInstance());
  if (SearchControl->bStoppingActive) search_check();
}

}  // namespace

StackEntry& Stack_Push(int call_type, int return_position) {
  if (Stack_IsFull()) my_fatal("Stack_Push(): stack of %d entries is full\n", StackCapacity);
  StackEntry& entry = Stack.entries[Stack.nCount++];
  entry.nCallType = call_type;
  entry.nReturnPosition = return_position;
  entry.nResult = 0;
  Stack_ClearEntryHeader(entry);
  return entry;
}

void Stack_PushFullSearch(int return_position, board_state_t* board, int alpha, int beta, int depth, int height,
                          move_t* pv, int node_type, bool extended) {
  FullSearchPar& par = Stack_Push(CALL_TYPE_FULL_SEARCH, return_position).parameters.fullSearchPar;
  par.board = board;
  par.alpha = alpha;
  par.beta = beta;
  par.depth = depth;
  par.height = height;
  par.pv = pv;
  par.node_type = node_type;
  par.extended = extended;
}

void Stack_PushQuiescence(int return_position, board_state_t* board, int alpha, int beta, int depth, int height,
                          move_t* pv) {
  FullQuiescencePar& par = Stack_Push(CALL_TYPE_FULL_QUIESCENCE, return_position).parameters.fullQuiescencePar;
  par.board = board;
  par.alpha = alpha;
  par.beta = beta;
  par.depth = depth;
  par.height = height;
  par.pv = pv;
}

int Stack_Run() {
  int resume = RETURN_POSITION_UNDEFINED;  // the top entry starts from its beginning
  for (;;) {
    if (SearchControl->bStoppingActive) search_check();
    // Messages are taken only before a node starts: an entry about to resume
    // still has its move on the board, which the work scan could not take back.
    if (resume == RETURN_POSITION_UNDEFINED && SearchInfo->check_nb_mpi_poll <= 0) service_messages();

    int value = dispatch(Stack_Top(), resume);
    if (value == NodePushed) {
      resume = RETURN_POSITION_UNDEFINED;
      continue;
    }
    // Pop; return positions 0 and 1 pass the value on to the next entry down.
    for (;;) {
      const int return_position = Stack_Top().nReturnPosition;
      if (--Stack.nCount == 0) return value;
      Stack_Top().nResult = value;
      if (return_position > RETURN_POSITION_FUNCTION_END) {
        resume = return_position;
        break;
      }
    }
  }
}

void Stack_Reset() {
  static const bool advised = (platform_advise_huge_pages(&Stack, sizeof Stack), true);
  (void)advised;
  Stack.nCount = 0;
  Stack.nUpdateSearchWindowRecursionLevel = 0;
  for (int i = 0; i < Stack.nMax && i < StackCapacity; ++i) Stack_ClearEntryHeader(Stack.entries[i]);
}

int Stack_EntryBoardMove(const StackEntry& entry) {
  const int index = Stack_IndexOf(entry);
  if (index + 1 >= Stack.nCount) return MOVE_NONE;
  const int child_position = Stack.entries[index + 1].nReturnPosition;
  switch (entry.nCallType) {
    case CALL_TYPE_FULL_ROOT: return entry.localData.fullRootDat.move;
    case CALL_TYPE_FULL_SEARCH:
      switch (child_position) {
        case RETURN_POSITION_FULL_SEARCH_01:
        case RETURN_POSITION_FULL_SEARCH_03:
        case RETURN_POSITION_FULL_SEARCH_03_1:
        case RETURN_POSITION_FULL_SEARCH_04:
        case RETURN_POSITION_FULL_SEARCH_05: return MOVE_NONE;
        case RETURN_POSITION_FULL_SEARCH_02: return MOVE_NULL;
        default: return entry.localData.fullSearchDat.move;
      }
    case CALL_TYPE_FULL_NO_NULL: return entry.localData.fullNoNullDat.move;
    case CALL_TYPE_FULL_QUIESCENCE: return entry.localData.fullQuiescenceDat.move;
    default: return MOVE_NONE;
  }
}

namespace {
undo_record_t& entry_undo(StackEntry& entry) {
  switch (entry.nCallType) {
    case CALL_TYPE_FULL_ROOT: return entry.localData.fullRootDat.undo;
    case CALL_TYPE_FULL_SEARCH: return entry.localData.fullSearchDat.undo;
    case CALL_TYPE_FULL_NO_NULL: return entry.localData.fullNoNullDat.undo;
    default: return entry.localData.fullQuiescenceDat.undo;
  }
}
}  // namespace

void Stack_DoMoves(int index) {
  board_state_t& board = SearchCurrent->board;
  for (int i = index; i < Stack.nCount - 1; ++i) {
    StackEntry& entry = Stack.entries[i];
    const int move = Stack_EntryBoardMove(entry);
    if (move == MOVE_NULL)
      null_make(board, entry_undo(entry));
    else if (move != MOVE_NONE)
      move_make(board, move, entry_undo(entry));
  }
}

void Stack_UndoMoves(int index) {
  board_state_t& board = SearchCurrent->board;
  for (int i = Stack.nCount - 2; i >= index; --i) {
    StackEntry& entry = Stack.entries[i];
    const int move = Stack_EntryBoardMove(entry);
    if (move == MOVE_NULL)
      null_unmake(board, entry_undo(entry));
    else if (move != MOVE_NONE)
      move_unmake(board, move, entry_undo(entry));
  }
}

void Stack_AppendMove(StackEntry& entry, int move, int history_value) {
  const int j = entry.nMoveCount++;
  entry.nMoveList[j] = move;
  entry.nHistoryValueList[j] = history_value;
  entry.nSlaveRankList[j] = -1;
  entry.nWorkIdList[j] = -1;
  entry.bMoveDoneList[j] = false;
}

const char* Stack_ReturnPositionName(StackEntry& entry, int return_position) {
  const char* name = "<undefined>";
  for (const ReturnPositionInfo& info : kReturnPositions)
    if (info.value == return_position) name = info.name;
  std::snprintf(entry.sReturnPositionName, StackNameSize, "%.64s", name);
  return entry.sReturnPositionName;
}

const char* Stack_CallTypeName(int call_type) {
  switch (call_type) {
    case CALL_TYPE_UNDEFINED: return "CALL_TYPE_UNDEFINED";
    case CALL_TYPE_FULL_ROOT: return "CALL_TYPE_FULL_ROOT";
    case CALL_TYPE_FULL_SEARCH: return "CALL_TYPE_FULL_SEARCH";
    case CALL_TYPE_FULL_NO_NULL: return "CALL_TYPE_FULL_NO_NULL";
    case CALL_TYPE_FULL_QUIESCENCE: return "CALL_TYPE_FULL_QUIESCENCE";
    default: return "<undefined>";
  }
}
