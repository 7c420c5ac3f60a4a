#include "cluster/history_broadcast.h"

#include <algorithm>
#include <cstring>

#include "base/configuration.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "cluster/broadcast_send.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"

static_assert(kHistoryTableBufferSize == HistorySize);

namespace {

constexpr int kIncrementLimit = HistoryMax - 1;

uint16_t saturated_sum(uint16_t entry, int amount) {
  return static_cast<uint16_t>(std::clamp(entry + amount, 0, 0xFFFF));
}

uint16_t halve(uint16_t x) { return static_cast<uint16_t>((x + 1) / 2); }

bool shares_history_with_its_host(const ProcessorHandler& handler) { return handler.bHistoryTableBroadcastTarget != 0; }

bool in_range(int index) { return index >= 0 && index < HistorySize; }

// One broadcast of either kind: `shared` is the manager's record slot, the
// initialiser packs the increments, `clear` restarts them once they are packed.
int32_t broadcast(YBWCManager* manager, Request** shared_slot, const char* operation, const char* pack_init,
                  int32_t (*pack)(Request*), int32_t (*per_peer)(Request*, Request*), const char* per_peer_init,
                  void (*clear)(YBWCManager*)) {
  // A broadcast of this kind is under way further up (messages are serviced
  // while it sends): the increments wait for the next one.
  if (*shared_slot != nullptr) return 0;
  Request* shared = Request_Construct();
  *shared_slot = shared;
  const int32_t code = pack(shared);
  if (code == 0) {
    clear(manager);
  } else {
    QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation, pack_init, code);
  }
  const bool targets_only = manager->pConfiguration->bUseSharedMemoryHistoryTable != 0;
  const BroadcastOutcome outcome =
      YBWCManager_SendBroadcast(manager, shared, targets_only ? shares_history_with_its_host : nullptr, operation,
                                per_peer_init, [shared, per_peer](Request* peer) { return per_peer(peer, shared); });
  *shared_slot = nullptr;
  return outcome.nFirstCode;
}

void clear_history_increments(YBWCManager* manager) {
  std::memset(manager->HistoryTableBuffer, 0, sizeof manager->HistoryTableBuffer);
  manager->nHistoryTableUpdates = 0;
}

void clear_hist_tot_increments(YBWCManager* manager) {
  std::memset(manager->HistHitTableBuffer, 0, sizeof manager->HistHitTableBuffer);
  std::memset(manager->HistTotTableBuffer, 0, sizeof manager->HistTotTableBuffer);
  manager->nHistTotTableUpdates = 0;
}

}  // namespace

int32_t YBWCManager_AccumulateHistoryUpdate(int index, int amount) {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (!in_range(index)) return 0;
  manager->nHistoryTableUpdates++;
  uint16_t* increments = manager->HistoryTableBuffer;
  increments[index] = saturated_sum(increments[index], amount);
  while (increments[index] > kIncrementLimit)
    for (int i = 0; i < HistorySize; i++) increments[i] = halve(increments[i]);
  if (manager->nHistoryTableUpdates < manager->pConfiguration->nHistoryTableUpdatesToTriggerBroadcast) return 0;
  return YBWCManager_BroadcastHistoryTable(manager);
}

int32_t YBWCManager_AccumulateHistTotUpdate(int index, bool hit) {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (!in_range(index)) return 0;
  manager->nHistTotTableUpdates++;
  uint16_t& hits = manager->HistHitTableBuffer[index];
  uint16_t& totals = manager->HistTotTableBuffer[index];
  if (hit) hits = saturated_sum(hits, 1);
  totals = saturated_sum(totals, 1);
  if (totals > kIncrementLimit) {
    hits = halve(hits);
    totals = halve(totals);
  }
  if (manager->nHistTotTableUpdates < manager->pConfiguration->nHistTotTableUpdatesToTriggerBroadcast) return 0;
  return YBWCManager_BroadcastHistTotTable(manager);
}

int32_t YBWCManager_BroadcastHistoryTable(YBWCManager* manager) {
  return broadcast(manager, &manager->pHistoryTableBroadcastBuffer, "YBWCManager_BroadcastHistoryTable",
                   "Request_InitHistoryTableBroadcastBuffer", Request_InitHistoryTableBroadcastBuffer,
                   Request_InitHistoryTableReplication, "Request_InitHistoryTableReplication",
                   clear_history_increments);
}

int32_t YBWCManager_BroadcastHistTotTable(YBWCManager* manager) {
  return broadcast(manager, &manager->pHistTotTableBroadcastBuffer, "YBWCManager_BroadcastHistTotTable",
                   "Request_InitHistTotTableBroadcastBuffer", Request_InitHistTotTableBroadcastBuffer,
                   Request_InitHistTotTableReplication, "Request_InitHistTotTableReplication",
                   clear_hist_tot_increments);
}
