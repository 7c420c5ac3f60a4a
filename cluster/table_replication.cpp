#include "cluster/table_replication.h"

#include "base/configuration.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "chess/trans.h"
#include "cluster/message_types.h"
#include "cluster/request.h"
#include "cluster/result.h"

int32_t YBWCManager_StoreHashTableChunk(YBWCManager* manager, Request* request) {
  HashTableBuffer* received = MessageContext_GetInstance()->pReceiveHashTableBuffer;
  request->pHashTableBuffer = received;
  if (received != nullptr) received->nCount = request->nHashTableEntryCount;
  manager->nHashTableChunksReceived++;
  if (!manager->bLoggedOn || manager->bNoTransStore || Trans == nullptr || Trans->table == nullptr) return 0;
  for (int32_t i = 0; i < request->nHashTableEntryCount; i++) {
    const HashTableEntry& entry = request->HashTableEntries[i];
    trans_store(Trans, entry.nKey, entry.nMove, entry.nDepth, entry.nFlags, entry.nValue);
  }
  manager->nHashTableEntriesStored += request->nHashTableEntryCount;
  return 0;
}

int32_t YBWCManager_MergeHistoryIncrements(YBWCManager* manager, const Request* request) {
  if (!manager->bLoggedOn || request->nSyncPositionId != manager->nSyncPositionId || !manager->bHistoryTablesReady) return 0;
  history_merge_received({request->HistoryTable, request->nHistoryTableCount, nullptr, 0, nullptr, 0, false});
  return 0;
}

int32_t YBWCManager_MergeHistTotIncrements(YBWCManager* manager, const Request* request) {
  if (request->nSyncPositionId != manager->nSyncPositionId || !manager->bHistoryTablesReady) return 0;
  history_merge_received({nullptr, 0, request->HistTotTable, request->nHistTotTableCount, request->HistHitTable,
                          request->nHistHitTableCount, false});
  return 0;
}

void YBWCManager_TakeOverWorkItemHistory(YBWCManager* manager, const Result* work_item) {
  const PellamConfiguration* config = manager->pConfiguration;
  history_received_t tables{nullptr, 0, nullptr, 0, nullptr, 0, true};
  if (config->bTransmitHistoryTable) {
    tables.History = work_item->HistoryTable;
    tables.nHistoryCount = work_item->nHistoryTableCount;
  }
  if (config->bTransmitHistTotTable) {
    tables.HistTot = work_item->HistTotTable;
    tables.nHistTotCount = work_item->nHistTotTableCount;
    tables.HistHit = work_item->HistHitTable;
    tables.nHistHitCount = work_item->nHistHitTableCount;
  }
  history_merge_received(tables);
}
