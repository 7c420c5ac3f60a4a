#pragma once
// Typed copy of the UCI options that steer logging, the cluster protocol,
// work distribution, table sharing and message polling, so that hot paths
// read plain integers. Refreshed from the options after every change.
#include <cstdint>

struct YBWCManager;

struct PellamConfiguration {
  char sFileName[1025];
  int32_t nPellamDebugLevel;
  int32_t bLogToCommonFile;
  int32_t bLogToFile;
  int32_t bLogToStdout;
  int32_t nMaxBufferedRequestCount;
  int32_t nMaxBufferedResultCount;
  int32_t nRequestForWorkWaitCounterLimit;
  int32_t nRequestForWorkWaitCounterToDouble;
  int32_t nRequestForWorkRepeatBlockFactor;
  int32_t bSendAdditionalUCIInfo;
  int32_t nDebugWaitForSlaveRate;
  int32_t nDebugWaitForWorkRate;
  int32_t nDebugAtWorkRate;
  int32_t nDebugAwaitingResultRate;
  int32_t bForceReproducibleEvaluation;
  int32_t bOnlyDistributeWorkOfRootMaster;
  int32_t bSuppressDistributionOfRootMoves;
  int32_t bSuppressDistributionOfFullSearchMoves;
  int32_t bAllowDistributionOfLastMoveInList;
  int32_t bReverseSearchStackDistributionOrder;
  int32_t bUpdateSearchWindows;
  int32_t bDirectUpdateSearchWindows;
  int32_t nMinimumAlphaImprovementForRerunSearch;
  int32_t nMaximumMovesCompletedForRerunSearch;
  int32_t nMaximumPercentCompletedForRerunSearch;
  int32_t nMaximumAlphaImprovementCheckCompleted;
  int32_t bBroadcastTranspositionTable;
  int32_t nBroadcastTranspositionTableChunkSize;
  int32_t nMinimumTransDepthForBroadcast;
  int32_t bUseSharedMemoryTranspositionTable;
  int32_t bUseSharedMemoryHistoryTable;
  int32_t bSynchronizeHistoryTableAccess;
  int32_t bBroadcastHistoryTable;
  int32_t nHistoryTableUpdatesToTriggerBroadcast;
  int32_t nHistTotTableUpdatesToTriggerBroadcast;
  int32_t bTransmitKillerTable;
  int32_t bTransmitHistoryTable;
  int32_t bTransmitHistTotTable;
  int32_t bUseHistoryPruning;
  int32_t bUseIID;
  int32_t bUseTranspositionTable;
  int32_t nCheckNb;
  int32_t nCheckInc;
  int32_t nCheckNbMPIPoll;
  int32_t nCheckIncMPIPoll;
  int32_t nCleanupActionsInterval;
  int32_t nTimerActionsInterval01;
  int32_t bSendKeepAliveChars;
  int32_t nSlaveStartIIDDepth;
  int32_t nSlaveIIDDepthSkipToMax;
  int32_t nHashTableSizeMB;
  int32_t nMinimumBrothersFinishedRoot;
  int32_t nMinimumBrothersFinished;
  int32_t nBrothersFinishedTypeCutOffset;
  int32_t nBrothersFinishedTypeAllOffset;
  int32_t nBrothersFinishedTypePVOffset;
  int32_t nMinimumRemoteSearchDepthSameNode;
  int32_t nMinimumRemoteSearchDepth;
  int32_t nMaximumRemoteSearchDepth;
  int32_t nMinimumRemoteSearchHeight;
  int32_t nMaximumRemoteSearchHeight;
  int32_t bUseMultiStepStackSearch;
  int32_t nMinimumBrothersFinishedRootFirstStep;
  int32_t nMinimumBrothersFinishedFirstStep;
  int32_t bUseSynchronizedStackStopEntry;
  int32_t bAdjustProcessPriority;
  int32_t bUseEvent;
};

void PellamConfiguration_Construct(PellamConfiguration* config);
void PellamConfiguration_Init(PellamConfiguration* config, const char* file_name);
void PellamConfiguration_ReadFromOptions(PellamConfiguration* config);
// Writes the record through the log (whenever a log output is on).
void PellamConfiguration_Dump(PellamConfiguration* config, YBWCManager* manager);
