#pragma once
// The resumable search stack. Every node search is an entry of one global
// array instead of a frame on the call stack: a node that needs a sub-search
// pushes a child, names in it the place where it continues, and returns to
// the run loop, which services messages between any two steps and resumes the
// parent when the child pops. Each entry keeps a table of its moves with, per
// move, who searches it, so that any entry can hand moves to other processes
// and take their results while it is suspended.
#include <cstdint>

#include "base/return_position.h"
#include "chess/attack.h"
#include "chess/board.h"
#include "chess/make.h"
#include "chess/movegen.h"
#include "chess/sort.h"
#include "search/search_records.h"

constexpr int StackCapacity = 256;
constexpr int StackHeightLimit = 255;
constexpr int MoveTableSize = 256;
constexpr int StackNameSize = 65;

enum CallType : int32_t {
  CALL_TYPE_UNDEFINED = 0,
  CALL_TYPE_FULL_ROOT = 1,
  CALL_TYPE_FULL_SEARCH = 2,
  CALL_TYPE_FULL_NO_NULL = 3,
  CALL_TYPE_FULL_QUIESCENCE = 4,
};

// Node types.
enum : int { NODE_ALL = -1, NODE_PV = 0, NODE_CUT = 1 };

struct FullRootPar {
  move_list_t* list;
  board_state_t* board;
  int alpha;
  int beta;
  int depth;
  int height;
  int search_type;
};

struct FullSearchPar {
  board_state_t* board;
  int alpha;
  int beta;
  int depth;
  int height;
  move_t* pv;  // in the parent's child_pv
  int node_type;
  bool extended;  // the move into this node already had a capture extension
};

struct FullNoNullPar {
  board_state_t* board;
  int alpha;
  int beta;
  int depth;
  int height;
  move_t* pv;
  int node_type;
  int trans_move;
  int* pbest_move;  // the parent's move field
  bool extended;
};

struct FullQuiescencePar {
  board_state_t* board;
  int alpha;
  int beta;
  int depth;
  int height;
  move_t* pv;
};

struct FullRootDat {
  int old_alpha;
  int value;
  int best_value[MultiPVMax];
  int i;
  int j;
  int move;
  int new_depth;
  undo_record_t undo;
  move_t child_pv[PvSize];
  bool reduced;
  bool found;
  bool cap_extended;
  int opt_value;
  bool bIterationConfirmed;
  bool allow_fail_low;  // re-search rights of this root (slaves may have none)
  bool allow_fail_high;
  int child_node_type;  // of the move's searches: PV below a PV root move, else Cut
};

struct FullSearchDat {
  bool in_check;
  bool single_reply;
  bool good_cap;
  int trans_move;
  int trans_depth;
  int trans_flags;
  int trans_value;
  int old_alpha;
  int value;
  int best_value;
  int move;
  int best_move;
  int new_depth;
  int played_nb;
  int i;
  int history_value;  // history score of the move being searched; read by the work scan
  int opt_value;
  bool cap_extended;
  bool reduced;
  check_info_t check;
  move_picker_t picker;
  undo_record_t undo;
  move_t child_pv[PvSize];
  move_t played[MoveTableSize];
  int probe_score;
  int probe_depth;
};

struct FullNoNullDat {
  int value;
  int best_value;
  int move;
  int new_depth;
  check_info_t check;
  move_picker_t picker;
  undo_record_t undo;
  move_t child_pv[PvSize];
  bool cap_extended;
  bool in_check;
};

struct FullQuiescenceDat {
  bool in_check;
  int old_alpha;
  int value;
  int best_value;
  int best_move;
  int move;
  int opt_value;
  check_info_t check;
  move_picker_t picker;
  undo_record_t undo;
  move_t child_pv[PvSize];
};

struct StackEntry {
  int nCallType;
  int nReturnPosition;
  int nResult;
  bool bMoveLoopDone;
  int nActualMoveIndex;
  int nBrothersFinished;
  int nMoveCount;
  bool bMoveListComplete;
  bool bAlive;
  bool bCutOffBySlave;
  bool bDistributionAllowed;
  bool bWorkSentToSlave;
  bool bStopped;
  bool bCutOff;

  int nMoveList[MoveTableSize];
  int nHistoryValueList[MoveTableSize];
  int nSlaveRankList[MoveTableSize];
  int64_t nWorkIdList[MoveTableSize];
  bool bMoveDoneList[MoveTableSize];
  int64_t nNodesList[MoveTableSize];
  double dStartTimeList[MoveTableSize];
  char sStartTimeList[MoveTableSize][16];
  int nAlphaList[MoveTableSize];
  int nBetaList[MoveTableSize];
  int nValueList[MoveTableSize];

  char sCallTypeName[StackNameSize];
  char sReturnPositionName[StackNameSize];
  char sResultName[StackNameSize];

  struct {
    FullRootPar fullRootPar;
    FullSearchPar fullSearchPar;
    FullNoNullPar fullNoNullPar;
    FullQuiescencePar fullQuiescencePar;
  } parameters;

  struct {
    FullRootDat fullRootDat;
    FullSearchDat fullSearchDat;
    FullNoNullDat fullNoNullDat;
    FullQuiescenceDat fullQuiescenceDat;
  } localData;
};

struct SearchStack {
  int nMax;
  int nCount;
  StackEntry entries[StackCapacity];
  int nUpdateSearchWindowRecursionLevel;
};

extern SearchStack Stack;

// Parameters of one push; only the set of the call type is read.
union StackPushParameters {
  FullRootPar fullRootPar;
  FullSearchPar fullSearchPar;
  FullNoNullPar fullNoNullPar;
  FullQuiescencePar fullQuiescencePar;
};

// Top entry; the stack must not be empty.
inline StackEntry& Stack_Top() { return Stack.entries[Stack.nCount - 1]; }
inline bool Stack_IsFull() { return Stack.nCount >= StackCapacity; }
inline int Stack_IndexOf(const StackEntry& entry) { return static_cast<int>(&entry - Stack.entries); }

// The header of a fresh entry: alive, no moves, nothing handed out or stopped.
void Stack_ClearEntryHeader(StackEntry& entry);

// Takes entry nCount and clears its header. The nodes check Stack_IsFull
// before they push; a push onto a full stack ends the process instead of
// writing past the array.
StackEntry& Stack_Push(int call_type, int return_position);
void Stack_PushFullSearch(int return_position, board_state_t* board, int alpha, int beta, int depth, int height,
                          move_t* pv, int node_type, bool extended);
void Stack_PushQuiescence(int return_position, board_state_t* board, int alpha, int beta, int depth, int height,
                          move_t* pv);

// Runs until the bottom entry finishes and returns its value.
int Stack_Run();

// nCount = 0 and every one of the nMax entries alive and cleared.
void Stack_Reset();

// Replays (DoMoves) or takes back (UndoMoves) the moves of the entries from
// index to the one below the top, so that the one board shows the position of
// entry `index` (UndoMoves) or of the top again (DoMoves).
void Stack_DoMoves(int index);
void Stack_UndoMoves(int index);

// The move entry `index` has on the board while its child runs: MOVE_NONE when
// its child searches the entry's own position, MOVE_NULL after a null move.
int Stack_EntryBoardMove(const StackEntry& entry);

// ---- The entries' slaves (search/stack_slaves.cpp) ----

// A move handed to a slave whose result has not arrived.
inline bool Stack_MoveIsHeld(const StackEntry& entry, int j) {
  return entry.nSlaveRankList[j] > 0 && !entry.bMoveDoneList[j];
}
// Index of the first move nobody has taken (a move a slave gave back
// unsearched), or -1.
int Stack_FirstFreeMove(const StackEntry& entry);
// The child that popped last was ended from outside (its window collapsed):
// its value means nothing and the entry, still alive, must search again what
// it asked the child. A child cut off by a slave returns a real value.
inline bool Stack_ChildAbandoned(const StackEntry& parent) {
  const StackEntry& child = Stack.entries[Stack_IndexOf(parent) + 1];
  return !child.bAlive && !child.bCutOffBySlave;
}

// Marks every entry stopped (search abandoned). Returns the first error code.
int32_t Stack_Stop();
// Ends an entry: tells every slave that still holds one of its moves to stop
// and, with "Use Synchronized Stack Stop Entry", waits for their answers.
int32_t Stack_StopEntry(StackEntry& entry);
// Sends the raised window to the slaves still working on the entry's moves.
int32_t Stack_UpdateSearchWindowForEntry(StackEntry& entry, int alpha, int beta);
// Waits at the end of an entry's move loop until no slave holds one of its
// moves or the entry is no longer alive, servicing messages; leaves with the
// search when it is abandoned. A move given back meanwhile stays free: the
// entry searches it itself (Stack_FirstFreeMove).
void Stack_WaitForSlaves(StackEntry& entry);
// Narrows the windows of the entries from first_index to the top to what
// their parents' windows now allow; an entry whose window collapses is ended
// with every entry above it. Slaves below a narrowed entry are told.
void Stack_PropagateSearchWindow(int first_index);

// Name of a return position ("<undefined>" for any other value), written into
// the entry's name buffer (at most 64 characters).
const char* Stack_ReturnPositionName(StackEntry& entry, int return_position);
const char* Stack_CallTypeName(int call_type);

// Appends a move to the entry's table as not handed out and not done.
void Stack_AppendMove(StackEntry& entry, int move, int history_value);
