// The cluster side of a node's shutdown: statistics, log-off of the other
// ranks and release of the tables.
#include <cinttypes>

#include "base/log.h"
#include "base/return_position.h"
#include "base/ybwc_manager.h"
#include "cluster/membership.h"
#include "frame/engine_tables.h"
#include "frame/manager_init.h"

namespace {

bool ShutDownInOrder = true;

void log_work_counters(YBWCManager* manager) {
  QLOG(0, "INFO nTotalWorkRequestedCount %" PRId64 "\n", manager->nTotalWorkRequestedCount);
  QLOG(0, "INFO nTotalWorkStartedCount %" PRId64 "\n", manager->nTotalWorkStartedCount);
  QLOG(0, "INFO nTotalWorkAbortedCount %" PRId64 "\n", manager->nTotalWorkAbortedCount);
  QLOG(0, "INFO nTotalWorkFinishedCount %" PRId64 "\n", manager->nTotalWorkFinishedCount);
  QLOG(0, "INFO nTotalWorkAbortSendCount %" PRId64 "\n", manager->nTotalWorkAbortSendCount);
  QLOG(0, "INFO nTotalUpdateSearchWindowSendCount %" PRId64 "\n", manager->nTotalUpdateSearchWindowSendCount);
  QLOG(0, "INFO nTotalForcedWindowUpdateRerunCount %" PRId64 "\n", manager->nTotalForcedWindowUpdateRerunCount);
}

double per_second(int64_t nodes, double seconds) { return seconds < 1 ? 0.0 : static_cast<double>(nodes) / seconds; }

int32_t finalize_root_master(YBWCManager* manager) {
  if (!manager->bNonRootMastersStartedUp) {
    QLOG(1, "ERROR YBWCManager_Finalize(... shutdown skipped because of an error during the startup phase\n");
    return 0;
  }
  int32_t result = 0;
  int32_t code = YBWCManager_WaitForNonRootMasterLoggedOff(manager);
  if (code != 0) {
    QLOG(1, "ERROR YBWCManager_Finalize(... failed at YBWCManager_WaitForNonRootMasterLoggedOff(..., errorcode = %d\n",
         code);
    result = code;
  } else {
    const int64_t all_nodes = manager->nTotalNodes + manager->nTotalNodesOfNonRootMasters;
    QLOG(0, "INFO total nodes searched %" PRId64 " total nps %.0f\n", manager->nTotalNodes,
         per_second(manager->nTotalNodes, manager->dTotalSearchTime));
    QLOG(0, "INFO total time %.0f sum off all total nodes searched %" PRId64 " overall total nps %.0f\n",
         manager->dTotalSearchTime * 1000, all_nodes, per_second(all_nodes, manager->dTotalSearchTime));
    engine_tables_detach_attached_segments();
    code = YBWCManager_WaitForNonRootMasterShutdown(manager);
    if (code != 0) {
      QLOG(1,
           "ERROR YBWCManager_Finalize(... failed at YBWCManager_WaitForNonRootMasterShutdown(..., errorcode = %d\n",
           code);
      result = code;
    }
  }
  manager->bLoggedOn = 0;
  ShutDownInOrder = YBWCManager_AllNonRootMastersShutDown(manager);
  return result;
}

int percent_of(int64_t part, int64_t whole) { return whole == 0 ? 0 : static_cast<int>(100 * part / whole); }

void log_non_root_statistics(YBWCManager* manager) {
  if (manager->nSyncPositionId <= 0) return;
  QLOG(0, "INFO total nodes searched %" PRId64 " \n", manager->nTotalNodes);
  QLOG(0, "INFO total nodes overhead caused by window updates %" PRId64 " \n", manager->nWindowUpdateOverheadNodes);
  QLOG(0, "INFO total nodes overhead caused by aborts %" PRId64 " \n", manager->nAbortOverheadNodes);
  QLOG(0, "INFO total time searching work items %.0f\n", manager->dTotalWorkItemTime * 1000);
  for (std::size_t i = 0; i < kReturnPositions.size(); ++i) {
    const ReturnPositionStatistics& s = manager->returnPositionStatistics[i];
    if (s.nWorkItems <= 0) continue;
    QLOG(0,
         "    INFO %" PRId64 " work items received from a master node at %s nodes %" PRId64 " window overhead %" PRId64
         " %d%% abort overhead %" PRId64 " %d%%\n",
         s.nWorkItems, kReturnPositions[i].name, s.nNodes, s.nWindowOverheadNodes,
         percent_of(s.nWindowOverheadNodes, s.nNodes), s.nAbortOverheadNodes,
         percent_of(s.nAbortOverheadNodes, s.nNodes));
  }
}

// What the transposition-table broadcast sent and received (jobs that broadcast only).
void log_broadcast_statistics(const YBWCManager* manager) {
  if (!manager->bDoBroadcastTranspositionTable) return;
  QLOG(0,
       "INFO hash table broadcast: %" PRId64 " chunks sent in %" PRId64 " messages of %" PRId64
       " bytes, %" PRId64 " chunks received, %" PRId64 " entries stored\n",
       manager->nHashTableChunksSent, manager->nHashTableMessagesSent, manager->nHashTableBytesSent,
       manager->nHashTableChunksReceived, manager->nHashTableEntriesStored);
}

}  // namespace

bool YBWCManager_JobShutDownInOrder() { return ShutDownInOrder; }

int32_t YBWCManager_Finalize(YBWCManager* manager) {
  if (manager->nSyncPositionId > 0) log_work_counters(manager);
  int32_t result = 0;
  if (manager->bRootMaster) {
    result = finalize_root_master(manager);
  } else {
    log_non_root_statistics(manager);
  }
  log_broadcast_statistics(manager);
  engine_tables_release_created_segments();
  if (manager->bEngineTablesAllocated) engine_tables_release();
  return result;
}
