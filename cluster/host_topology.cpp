#include "cluster/host_topology.h"

#include <cstring>

#include "base/configuration.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "cluster/processor_handler.h"
#include "platform/process.h"

namespace {

const char* name_of(int32_t rank) {
  const ProcessorHandler* handler = ProcessorHandler_Of(rank);
  return handler != nullptr ? handler->sProcessorName : "";
}

// True when a rank below `rank` runs on the host `name`.
bool lower_rank_on(int32_t rank, const char* name) {
  for (int32_t lower = 0; lower < rank; lower++)
    if (std::strcmp(name_of(lower), name) == 0) return true;
  return false;
}

// The decision lines of one table broadcast; returns whether it is switched on.
bool broadcast_needed(const YBWCManager* manager, bool wanted, bool shared_on_host, const char* disabled,
                      const char* not_needed, const char* needed) {
  if (!wanted) {
    QLOG(0, "%s", disabled);
    return false;
  }
  if (manager->nSize <= 1 || (shared_on_host && !manager->bHasHashTableBroadcastTargets)) {
    QLOG(0, "%s", not_needed);
    return false;
  }
  QLOG(0, "%s", needed);
  return true;
}

}  // namespace

void YBWCManager_AnalyzeHostTopology(YBWCManager* manager) {
  const char* own = manager->sLocalProcessorName;
  manager->bHasHashTableBroadcastTargets = 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++) {
    ProcessorHandler* handler = ProcessorHandler_Of(rank);
    if (handler == nullptr) continue;
    if (std::strcmp(handler->sProcessorName, own) == 0) {
      handler->bHashTableBroadcastTarget = 0;
      handler->bHistoryTableBroadcastTarget = 0;
      handler->bSameNode = 1;
      continue;
    }
    handler->bSameNode = 0;
    const int32_t target = lower_rank_on(rank, handler->sProcessorName) ? 0 : 1;
    handler->bHashTableBroadcastTarget = target;
    handler->bHistoryTableBroadcastTarget = target;
    if (target) {
      manager->bHasHashTableBroadcastTargets = 1;
      QLOG(7, "INFO rank %d on <%s> has bHashTableBroadcastTarget property\n", rank, handler->sProcessorName);
    }
  }
  manager->bHashTableMaster = lower_rank_on(manager->nRank, own) ? 0 : 1;
  if (manager->bHashTableMaster) QLOG(7, "INFO bHashTableMaster property\n");

  const PellamConfiguration* config = manager->pConfiguration;
  manager->bDoBroadcastTranspositionTable =
      broadcast_needed(manager, config->bBroadcastTranspositionTable, config->bUseSharedMemoryTranspositionTable,
                       "INFO bBroadcastTranspositionTable disabled\n",
                       "INFO bBroadcastTranspositionTable enabled but not really needed\n",
                       "INFO bBroadcastTranspositionTable enabled and potentially needed\n");
  manager->bDoBroadcastHistoryTable =
      broadcast_needed(manager, config->bBroadcastHistoryTable, config->bUseSharedMemoryHistoryTable,
                       "INFO bBroadcastHistoryTable disabled\n",
                       "INFO bBroadcastHistoryTable enabled but not really needed\n",
                       "INFO bBroadcastHistoryTable enabled and potentially needed\n");
}

void YBWCManager_AdjustProcessPriority(YBWCManager* manager) {
  if (manager->bRootMaster) return;
  const ProcessorHandler* root = ProcessorHandler_Of(0);
  if (root == nullptr || std::strcmp(root->sProcessorName, manager->sLocalProcessorName) != 0) return;
  const bool below_normal = manager->pConfiguration->bAdjustProcessPriority != 0;
  if (!platform_set_below_normal_priority(below_normal))
    QLOG(1, "ERROR YBWCManager_AdjustProcessPriority(... failed to set the %s priority\n",
         below_normal ? "below normal" : "normal");
}
