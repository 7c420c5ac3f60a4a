#pragma once
// The per-process manager: identity and role of the node, its lifecycle
// state, the records it owns, and the statistics printed at the end.
#include <cstdint>

#include "base/configuration.h"

struct ProcessorHandler;
struct Request;
struct Result;
struct CommandLine;
struct AutoTester;
struct Timer;
struct CriticalSection;
struct HashTableBuffer;

// Node states.
enum : int32_t {
  NODE_STATE_INITIAL = 0,
  NODE_STATE_IDLE = 2,
  NODE_STATE_SEARCHING = 3,
  NODE_STATE_REMOTE_TEST = 4,
  NODE_STATE_SUPPORT_SEARCH = 5,
  NODE_STATE_WAITING_FOR_WORK = 6,
  NODE_STATE_SHUTDOWN = 8,
};

constexpr int kMaxProcessors = 4096;
constexpr int kReturnPositionCount = 64;
constexpr int kReturnPositionValueCount = 1024;

// Host-wide shared-memory segments: the transposition table and the history
// block, each under its own key.
enum : int32_t {
  SHARED_MEMORY_KEY_TRANSPOSITION_TABLE = 5997,
  SHARED_MEMORY_KEY_HISTORY_TABLE = 5998,
};
constexpr int kSharedMemoryKeyCount = 2;
// Entries of each history table (12 pieces x 64 destinations).
constexpr int kHistoryTableBufferSize = 768;

// What this process has of a key's segment.
enum : int32_t {
  SHARED_MEMORY_NOT_IN_USE = 0,
  SHARED_MEMORY_ATTACHED = 1,  // another process created it: this one only detaches
  SHARED_MEMORY_CREATED = 2,   // this process created it and deletes it at the end
};

struct SharedMemoryRecord {
  int32_t nState;
  int32_t hMapObject;    // the segment's handle while nState is not 0
  void* pView;           // the mapped view: the start of the table
  uint64_t nMappedSize;  // bytes mapped, the segment's real size (an existing one keeps its creator's size)
};

struct ReturnPositionStatistics {
  int64_t nWorkItems;
  int64_t nNodes;
  int64_t nWindowOverheadNodes;
  int64_t nAbortOverheadNodes;
};

struct YBWCManager {
  int* pArgc;
  char*** pArgv;
  int32_t bDestructing;
  int32_t nState;
  int32_t bLoggedOn;
  PellamConfiguration* pConfiguration;
  CommandLine* pCommandLine;
  AutoTester* pAutoTester;
  int32_t nRank;
  int32_t nSize;
  int32_t bRootMaster;
  int32_t bNonRootMastersStartedUp;
  int32_t bFatalInProgress;
  ProcessorHandler* pProcessorHandlers[kMaxProcessors];
  char sLocalProcessorName[129];
  Timer* pRootPollTimer;
  Timer* pNonRootPollTimer;
  Timer* pDumpTimers[4];

  // Owned by the UCI loop: set while commands are read during a search.
  int32_t bInCommandPoll;
  // Set once the chess core's per-game tables have been allocated.
  int32_t bEngineTablesAllocated;
  // Positions synchronised with the other ranks (numbered by the root master).
  int32_t nSyncPositionId;
  // Set while a hash-size change runs: received table entries are not stored.
  int32_t bNoTransStore;

  // Host topology (every rank): the lowest rank of this host, another host
  // exists, and the table broadcasts that are switched on.
  int32_t bHashTableMaster;
  int32_t bHasHashTableBroadcastTargets;
  int32_t bDoBroadcastTranspositionTable;
  int32_t bDoBroadcastHistoryTable;

  // Message service: requests kept for a state that can take them, the most
  // messages taken in one call, and the calls counted towards the periodic
  // cleanup and keep-alive actions.
  Request* pDelayedRequestHead;
  Request* pDelayedRequestTail;
  int32_t nBufferedDelayedRequestCount;
  int32_t nBufferedDelayedRequestCountMax;
  int32_t nServicedRequestInARowMax;
  int32_t nServicedResultsInARowMax;
  int32_t nCleanupActionsCounter;
  int32_t nTimerActionsCounter;
  // Nesting of the message service (sends wait by servicing messages).
  int32_t nServiceMessagesDepth;

  // Root master: answers counted while it waits for the other ranks.
  int32_t nLoggedOnCount;
  int32_t nLoggedOffCount;
  int32_t nShutdownCount;
  int32_t nSyncedNewGameCount;
  int32_t nSyncedSetOptionCount;
  int32_t nSyncedAfterBroadcastCount;
  int32_t nRemoteTestProcessorId;  // rank running a remote test, -1 when none

  // Slave work cycle: refusals in a row, the rank asked or worked for, and
  // the work item being searched.
  int32_t nNoWorkAvailableInARow;
  int32_t nNoWorkAvailableInARowMax;
  int32_t nMasterId;
  int32_t bSearchingSubproblem;
  Result* pWorkAvailableResult;
  int32_t bWindowUpdateRerun;  // the search stops to run the item again with a better window
  int32_t bRealStopReceived;   // the master stopped the item
  // A stop from nMasterId that came before its work item (requests are taken
  // before results), -1 when none: the item is answered unsearched.
  int64_t nStopBeforeWorkId;
  int32_t nRerunSearchCounter;
  int32_t nRerunSearchCounterMax;
  int64_t nRequestForWorkWaitCounter;  // calls since the last work request (back-off)
  int32_t bSeedRandom;                 // the target generator is still to be seeded
  int64_t nResultSendNodes;            // nodes counted while the last result was sent
  int32_t nSecondEntryMoveCountMax;    // highest move count of the second stack entry in this run

  // Statistics.
  int64_t nTotalWorkRequestedCount;
  int64_t nTotalWorkStartedCount;
  int64_t nTotalWorkAbortedCount;
  int64_t nTotalWorkFinishedCount;
  int64_t nTotalWorkAbortSendCount;
  int64_t nTotalUpdateSearchWindowSendCount;
  int64_t nTotalForcedWindowUpdateRerunCount;
  int64_t nTotalNodes;
  double dTotalSearchTime;
  double dTotalWorkItemTime;  // seconds this process spent searching work items (a slave's busy time)
  int64_t nTotalNodesOfNonRootMasters;
  int64_t nWindowUpdateOverheadNodes;
  int64_t nAbortOverheadNodes;
  ReturnPositionStatistics returnPositionStatistics[kReturnPositionCount];
  int16_t nReturnPositionValueToIndex[kReturnPositionValueCount];
  int16_t nReturnPositionIndexToValue[kReturnPositionCount];

  // Table sharing: one record per shared-memory key (index 0 for 5997, 1 for
  // 5998); the part of the segment and lock names that ties them to this
  // executable, job and host (set on first use); the named lock of a shared
  // history block.
  SharedMemoryRecord sharedMemory[kSharedMemoryKeyCount];
  char sSharedMemoryJobName[512];
  CriticalSection* pHistoryTableCriticalSection;

  // Transposition-table broadcast: the chunk being filled and the record
  // received chunks are counted in (both made at start-up), and what went
  // out and came in, for the statistics at the end.
  HashTableBuffer* pHashTableSendBuffer;
  HashTableBuffer* pHashTableReceiveBuffer;
  int64_t nHashTableChunksSent;
  int64_t nHashTableMessagesSent;
  int64_t nHashTableBytesSent;
  int64_t nHashTableChunksReceived;
  int64_t nHashTableEntriesStored;

  // History broadcast: the increments since the last broadcast of each kind
  // and how many updates they hold; received increments are merged only once
  // the tables were reset (bHistoryTablesReady); the shared records of a
  // broadcast under way.
  uint16_t HistoryTableBuffer[kHistoryTableBufferSize];
  uint16_t HistHitTableBuffer[kHistoryTableBufferSize];
  uint16_t HistTotTableBuffer[kHistoryTableBufferSize];
  int32_t nHistoryTableUpdates;
  int32_t nHistTotTableUpdates;
  int32_t bHistoryTablesReady;
  Request* pHistoryTableBroadcastBuffer;
  Request* pHistTotTableBroadcastBuffer;

  // Time-stamp text of the last log line.
  char sTimeStamp[64];
};

extern YBWCManager* g_pYBWCManagerInstance;

// The process's manager; constructs a default one whenever none exists.
YBWCManager* YBWCManager_GetInstance();
// A default record: configuration, poll timers and the return-position
// lookup tables. Start-up (YBWCManager_Init) fills in the rest.
YBWCManager* YBWCManager_Construct();

// Log switches and rank kept alive across the manager's destruction.
struct LogSettings {
  int32_t nRank;
  int32_t bLogToCommonFile;
  int32_t bLogToFile;
  int32_t bLogToStdout;
};
LogSettings* LogSettings_GetInstance();
void LogSettings_Release();
void YBWCManager_SaveLogSettings(YBWCManager* manager);
void YBWCManager_RestoreLogSettings(YBWCManager* manager);

// Convenience accessors for code outside the frame.
int32_t YBWCManager_Rank();
bool YBWCManager_IsRootMaster();
