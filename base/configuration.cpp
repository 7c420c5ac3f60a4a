#include "base/configuration.h"

#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/option.h"

namespace {

void dump_int(YBWCManager* manager, const char* name, int32_t value) {
  YBWCManager_Log(manager, "%-38s = %d\n", name, value);
}

void dump_flag(YBWCManager* manager, const char* name, int32_t value) {
  YBWCManager_Log(manager, "%-38s = %s\n", name, value ? "true" : "false");
}

void dump_text(YBWCManager* manager, const char* name, const char* value) {
  YBWCManager_Log(manager, "%-38s = %s\n", name, value);
}

void copy_file_name(PellamConfiguration* config, const char* file_name) {
  std::snprintf(config->sFileName, sizeof config->sFileName, "%s", file_name);
}

}  // namespace

void PellamConfiguration_Construct(PellamConfiguration* config) {
  std::memset(config, 0, sizeof *config);
  copy_file_name(config, "<UndefinedFileName>");
}

void PellamConfiguration_Init(PellamConfiguration* config, const char* file_name) {
  copy_file_name(config, file_name);
}

void PellamConfiguration_ReadFromOptions(PellamConfiguration* config) {
  config->nPellamDebugLevel = option_get_int("Debug Level");
  config->bLogToCommonFile = option_get_bool("Log To Common File");
  config->bLogToFile = option_get_bool("Log To Specific File");
  config->bLogToStdout = option_get_bool("Log To Stdout");
  config->nMaxBufferedRequestCount = option_get_int("Max Buffered Requests");
  config->nMaxBufferedResultCount = option_get_int("Max Buffered Results");
  config->nRequestForWorkWaitCounterLimit = option_get_int("Max Waits Before Work Request");
  config->nRequestForWorkWaitCounterToDouble = option_get_int("Base Waits Before Work Request");
  config->nRequestForWorkRepeatBlockFactor = option_get_int("No Work Results Before Doubling Base Waits");
  config->bSendAdditionalUCIInfo = option_get_bool("Send Additional UCI Info");
  config->nDebugWaitForSlaveRate = option_get_int("Wait For Slave Dump Interval");
  config->nDebugWaitForWorkRate = option_get_int("Wait For Work Dump Interval");
  config->nDebugAtWorkRate = option_get_int("At Work Dump Interval");
  config->nDebugAwaitingResultRate = option_get_int("Awaiting Result Dump Interval");
  config->bForceReproducibleEvaluation = option_get_bool("Force Reproducible Evaluation");
  config->bOnlyDistributeWorkOfRootMaster = option_get_bool("Only Distribute Work Of Root Master");
  config->bSuppressDistributionOfRootMoves = option_get_bool("Suppress Distribution Of Root Moves");
  config->bSuppressDistributionOfFullSearchMoves = option_get_bool("Suppress Distribution Of Non Root Moves");
  config->bAllowDistributionOfLastMoveInList = option_get_bool("Allow Distribution Of Last Move");
  config->bReverseSearchStackDistributionOrder = option_get_bool("Reverse Stack Distribution Order");
  config->bUpdateSearchWindows = option_get_bool("Update Search Windows");
  config->bDirectUpdateSearchWindows = option_get_bool("Direct Update Search Windows");
  config->nMinimumAlphaImprovementForRerunSearch = option_get_int("Min Alpha Improvement For Rerun");
  config->nMaximumMovesCompletedForRerunSearch = option_get_int("Max Moves Completed For Rerun");
  config->nMaximumPercentCompletedForRerunSearch = option_get_int("Max Percent Completed For Rerun");
  config->nMaximumAlphaImprovementCheckCompleted = option_get_int("Alpha Improvement To Force Rerun");
  config->bBroadcastTranspositionTable = option_get_bool("Broadcast Hash Table");
  config->nBroadcastTranspositionTableChunkSize = option_get_int("Broadcast Chunk Size Of Hash Table");
  config->nMinimumTransDepthForBroadcast = option_get_int("Broadcast Min Depth of Hash Table");
  config->bUseSharedMemoryTranspositionTable = option_get_bool("Share Hash Table");
  config->bUseSharedMemoryHistoryTable = option_get_bool("Share History Table");
  config->bSynchronizeHistoryTableAccess = option_get_bool("Synchronize History Table Access");
  config->bBroadcastHistoryTable = option_get_bool("Broadcast History Table");
  config->nHistoryTableUpdatesToTriggerBroadcast = option_get_int("History Table Chunk Size");
  config->nHistTotTableUpdatesToTriggerBroadcast = option_get_int("History HistTot Table Chunk Size");
  config->bTransmitKillerTable = option_get_bool("Transmit Killer Table");
  config->bTransmitHistoryTable = option_get_bool("Transmit History Table");
  config->bTransmitHistTotTable = option_get_bool("Transmit HistTot Table");
  config->bUseHistoryPruning = option_get_bool("Real History Pruning");
  config->bUseIID = option_get_bool("Use IID");
  config->bUseTranspositionTable = option_get_bool("Use Hash Table");
  config->nCheckNb = option_get_int("Standard Poll Interval");
  config->nCheckInc = option_get_int("Standard Poll Increment");
  config->nCheckNbMPIPoll = option_get_int("MPI Poll Interval");
  config->nCheckIncMPIPoll = option_get_int("MPI Poll Increment");
  config->nCleanupActionsInterval = option_get_int("Cleanup Interval");
  config->nTimerActionsInterval01 = option_get_int("Timer 01 Interval");
  config->bSendKeepAliveChars = option_get_bool("Send Keep Alive Chars");
  config->nSlaveStartIIDDepth = option_get_int("Remote Start IID Depth");
  config->nSlaveIIDDepthSkipToMax = option_get_int("Remote IID Depth To Skip To Max");
  config->nMinimumBrothersFinishedRoot = option_get_int("Moves Completed At Root Before Work Distribution");
  config->nMinimumBrothersFinished = option_get_int("Moves Completed Before Work Distribution");
  config->nBrothersFinishedTypeCutOffset = option_get_int("Moves Completed Offset At Cut Node");
  config->nBrothersFinishedTypeAllOffset = option_get_int("Moves Completed Offset At All Node");
  config->nBrothersFinishedTypePVOffset = option_get_int("Moves Completed Offset At PV Node");
  config->nMinimumRemoteSearchDepthSameNode = option_get_int("Min Remaining Search Depth Same Node");
  config->nMinimumRemoteSearchDepth = option_get_int("Min Remaining Search Depth");
  config->nMaximumRemoteSearchDepth = option_get_int("Max Remaining Search Depth");
  config->nMinimumRemoteSearchHeight = option_get_int("Min Remaining Search Height");
  config->nMaximumRemoteSearchHeight = option_get_int("Max Remaining Search Height");
  config->bUseMultiStepStackSearch = option_get_bool("Use Multi Step Stack Search For Work");
  config->nMinimumBrothersFinishedRootFirstStep = option_get_int("Moves Completed At Root At First Step");
  config->nMinimumBrothersFinishedFirstStep = option_get_int("Moves Completed At First Step");
  config->bUseSynchronizedStackStopEntry = option_get_bool("Use Synchronized Stack Stop Entry");
  config->bAdjustProcessPriority = option_get_bool("Lower Process Priority To Favor GUI Updates");
  config->bUseEvent = option_get_bool("Use Event");
  config->nHashTableSizeMB = 0;
}

void PellamConfiguration_Dump(PellamConfiguration* config, YBWCManager* manager) {
  YBWCManager_Log(manager, "PellamConfiguration:\n");
  dump_text(manager, "sFileName", config->sFileName);
  dump_int(manager, "nPellamDebugLevel", config->nPellamDebugLevel);
  dump_flag(manager, "bLogToCommonFile", config->bLogToCommonFile);
  dump_flag(manager, "bLogToFile", config->bLogToFile);
  dump_flag(manager, "bLogToStdout", config->bLogToStdout);
  dump_int(manager, "nMaxBufferedRequestCount", config->nMaxBufferedRequestCount);
  dump_int(manager, "nMaxBufferedResultCount", config->nMaxBufferedResultCount);
  dump_int(manager, "nRequestForWorkWaitCounterLimit", config->nRequestForWorkWaitCounterLimit);
  dump_int(manager, "nRequestForWorkWaitCounterToDouble", config->nRequestForWorkWaitCounterToDouble);
  dump_int(manager, "nRequestForWorkRepeatBlockFactor", config->nRequestForWorkRepeatBlockFactor);
  dump_flag(manager, "bSendAdditionalUCIInfo", config->bSendAdditionalUCIInfo);
  dump_int(manager, "nDebugWaitForSlaveRate", config->nDebugWaitForSlaveRate);
  dump_int(manager, "nDebugWaitForWorkRate", config->nDebugWaitForWorkRate);
  dump_int(manager, "nDebugAtWorkRate", config->nDebugAtWorkRate);
  dump_int(manager, "nDebugAwaitingResultRate", config->nDebugAwaitingResultRate);
  dump_flag(manager, "bForceReproducibleEvaluation", config->bForceReproducibleEvaluation);
  dump_flag(manager, "bOnlyDistributeWorkOfRootMaster", config->bOnlyDistributeWorkOfRootMaster);
  dump_flag(manager, "bSuppressDistributionOfRootMoves", config->bSuppressDistributionOfRootMoves);
  dump_flag(manager, "bSuppressDistributionOfFullSearchMoves", config->bSuppressDistributionOfFullSearchMoves);
  dump_flag(manager, "bAllowDistributionOfLastMoveInList", config->bAllowDistributionOfLastMoveInList);
  dump_flag(manager, "bReverseSearchStackDistributionOrder", config->bReverseSearchStackDistributionOrder);
  dump_flag(manager, "bUpdateSearchWindows", config->bUpdateSearchWindows);
  dump_flag(manager, "bDirectUpdateSearchWindows", config->bDirectUpdateSearchWindows);
  dump_int(manager, "nMinimumAlphaImprovementForRerunSearch", config->nMinimumAlphaImprovementForRerunSearch);
  dump_int(manager, "nMaximumMovesCompletedForRerunSearch", config->nMaximumMovesCompletedForRerunSearch);
  dump_int(manager, "nMaximumPercentCompletedForRerunSearch", config->nMaximumPercentCompletedForRerunSearch);
  dump_int(manager, "nMaximumAlphaImprovementCheckCompleted", config->nMaximumAlphaImprovementCheckCompleted);
  dump_flag(manager, "bBroadcastTranspositionTable", config->bBroadcastTranspositionTable);
  dump_int(manager, "nBroadcastTranspositionTableChunkSize", config->nBroadcastTranspositionTableChunkSize);
  dump_int(manager, "nMinimumTransDepthForBroadcast", config->nMinimumTransDepthForBroadcast);
  dump_flag(manager, "bUseSharedMemoryTranspositionTable", config->bUseSharedMemoryTranspositionTable);
  dump_flag(manager, "bUseSharedMemoryHistoryTable", config->bUseSharedMemoryHistoryTable);
  dump_flag(manager, "bSynchronizeHistoryTableAccess", config->bSynchronizeHistoryTableAccess);
  dump_flag(manager, "bBroadcastHistoryTable", config->bBroadcastHistoryTable);
  dump_int(manager, "nHistoryTableUpdatesToTriggerBroadcast", config->nHistoryTableUpdatesToTriggerBroadcast);
  dump_int(manager, "nHistTotTableUpdatesToTriggerBroadcast", config->nHistTotTableUpdatesToTriggerBroadcast);
  dump_flag(manager, "bTransmitKillerTable", config->bTransmitKillerTable);
  dump_flag(manager, "bTransmitHistoryTable", config->bTransmitHistoryTable);
  dump_flag(manager, "bTransmitHistTotTable", config->bTransmitHistTotTable);
  dump_flag(manager, "bUseHistoryPruning", config->bUseHistoryPruning);
  dump_flag(manager, "bUseIID", config->bUseIID);
  dump_flag(manager, "bUseTranspositionTable", config->bUseTranspositionTable);
  dump_int(manager, "nCheckNb", config->nCheckNb);
  dump_int(manager, "nCheckInc", config->nCheckInc);
  dump_int(manager, "nCheckNbMPIPoll", config->nCheckNbMPIPoll);
  dump_int(manager, "nCheckIncMPIPoll", config->nCheckIncMPIPoll);
  dump_int(manager, "nCleanupActionsInterval", config->nCleanupActionsInterval);
  dump_int(manager, "nTimerActionsInterval01", config->nTimerActionsInterval01);
  dump_flag(manager, "bSendKeepAliveChars", config->bSendKeepAliveChars);
  dump_int(manager, "nSlaveStartIIDDepth", config->nSlaveStartIIDDepth);
  dump_int(manager, "nSlaveIIDDepthSkipToMax", config->nSlaveIIDDepthSkipToMax);
  dump_int(manager, "nHashTableSizeMB", config->nHashTableSizeMB);
  dump_int(manager, "nMinimumBrothersFinishedRoot", config->nMinimumBrothersFinishedRoot);
  dump_int(manager, "nMinimumBrothersFinished", config->nMinimumBrothersFinished);
  dump_int(manager, "nBrothersFinishedTypeCutOffset", config->nBrothersFinishedTypeCutOffset);
  dump_int(manager, "nBrothersFinishedTypeAllOffset", config->nBrothersFinishedTypeAllOffset);
  dump_int(manager, "nBrothersFinishedTypePVOffset", config->nBrothersFinishedTypePVOffset);
  dump_int(manager, "nMinimumRemoteSearchDepthSameNode", config->nMinimumRemoteSearchDepthSameNode);
  dump_int(manager, "nMinimumRemoteSearchDepth", config->nMinimumRemoteSearchDepth);
  dump_int(manager, "nMaximumRemoteSearchDepth", config->nMaximumRemoteSearchDepth);
  dump_int(manager, "nMinimumRemoteSearchHeight", config->nMinimumRemoteSearchHeight);
  dump_int(manager, "nMaximumRemoteSearchHeight", config->nMaximumRemoteSearchHeight);
  dump_flag(manager, "bUseMultiStepStackSearch", config->bUseMultiStepStackSearch);
  dump_int(manager, "nMinimumBrothersFinishedRootFirstStep", config->nMinimumBrothersFinishedRootFirstStep);
  dump_int(manager, "nMinimumBrothersFinishedFirstStep", config->nMinimumBrothersFinishedFirstStep);
  dump_flag(manager, "bUseSynchronizedStackStopEntry", config->bUseSynchronizedStackStopEntry);
  dump_flag(manager, "bAdjustProcessPriority", config->bAdjustProcessPriority);
  dump_flag(manager, "bUseEvent", config->bUseEvent);
  YBWCManager_Log(manager, " \n");
}
