#include "sharing/table_memory.h"

#include <cstdlib>

#include "base/fatal.h"
#include "base/ybwc_manager.h"
#include "sharing/critical_section.h"
#include "sharing/shared_memory.h"

namespace {

void* map_segment(int32_t nKey, uint64_t bytes_wanted, uint64_t* bytes_got) {
  YBWCManager* manager = YBWCManager_GetInstance();
  void* view = YBWCManager_InitSharedMem(manager, nKey, bytes_wanted);
  *bytes_got = view != nullptr ? YBWCManager_SharedMemRecord(manager, nKey)->nMappedSize : 0;
  return view;
}

// Gives the view back the way this process holds it. A view the record no
// longer has was given back already (log-off, a hash-size step).
void unmap_segment(int32_t nKey, const void* memory) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const SharedMemoryRecord* record = YBWCManager_SharedMemRecord(manager, nKey);
  if (record->pView != memory) return;
  if (record->nState == SHARED_MEMORY_CREATED) {
    YBWCManager_DeleteSharedMem(manager, nKey);
  } else {
    YBWCManager_DetachSharedMem(manager, nKey);
  }
}

void* trans_acquire(uint64_t bytes_wanted, uint64_t* bytes_got) {
  return map_segment(SHARED_MEMORY_KEY_TRANSPOSITION_TABLE, bytes_wanted, bytes_got);
}

void trans_give_back(void* memory, uint64_t) { unmap_segment(SHARED_MEMORY_KEY_TRANSPOSITION_TABLE, memory); }

history_block_t* history_acquire() {
  uint64_t bytes = 0;
  void* view = map_segment(SHARED_MEMORY_KEY_HISTORY_TABLE, sizeof(history_block_t), &bytes);
  if (view != nullptr && bytes < sizeof(history_block_t)) {
    // An existing segment too small for the block cannot hold it.
    unmap_segment(SHARED_MEMORY_KEY_HISTORY_TABLE, view);
    return nullptr;
  }
  return static_cast<history_block_t*>(view);
}

void history_give_back(history_block_t* block) { unmap_segment(SHARED_MEMORY_KEY_HISTORY_TABLE, block); }

void history_lock() { CriticalSection_Enter(YBWCManager_GetInstance()->pHistoryTableCriticalSection); }
void history_unlock() { CriticalSection_Leave(YBWCManager_GetInstance()->pHistoryTableCriticalSection); }

history_sharing_t Accumulation = {};

void history_tables_ready() { YBWCManager_GetInstance()->bHistoryTablesReady = 1; }

// The block's hooks as things are now: the lock while one exists, the
// accumulation while the broadcast is on, and the ready mark.
void install_history_sharing(const YBWCManager* manager) {
  history_sharing_t sharing = manager->bDoBroadcastHistoryTable ? Accumulation : history_sharing_t{};
  if (manager->pHistoryTableCriticalSection != nullptr) {
    sharing.lock = history_lock;
    sharing.unlock = history_unlock;
  }
  sharing.reset_done = history_tables_ready;
  history_set_sharing(&sharing);
}

void destroy_history_lock(YBWCManager* manager) {
  if (manager->pHistoryTableCriticalSection == nullptr) return;
  history_set_sharing(nullptr);
  CriticalSection_Destruct(manager->pHistoryTableCriticalSection);
  std::free(manager->pHistoryTableCriticalSection);
  manager->pHistoryTableCriticalSection = nullptr;
}

}  // namespace

const trans_memory_t SharedTransMemory = {trans_acquire, trans_give_back, true};
const history_memory_t SharedHistoryMemory = {history_acquire, history_give_back, true};

void YBWCManager_SelectTransMemory(YBWCManager* manager) {
  trans_set_memory(manager->pConfiguration->bUseSharedMemoryTranspositionTable ? &SharedTransMemory : nullptr);
}

void YBWCManager_AllocTranspositionTable(YBWCManager* manager, int megabytes) {
  YBWCManager_SelectTransMemory(manager);
  trans_alloc(Trans, megabytes, manager->nRank, manager->bRootMaster != 0);
}

void YBWCManager_AllocHistoryTables(YBWCManager* manager) {
  const PellamConfiguration* config = manager->pConfiguration;
  destroy_history_lock(manager);
  if (!config->bUseSharedMemoryHistoryTable) {
    history_set_memory(nullptr);
    history_alloc();
    install_history_sharing(manager);
    return;
  }
  if (config->bSynchronizeHistoryTableAccess) {
    manager->pHistoryTableCriticalSection = static_cast<CriticalSection*>(my_malloc(sizeof(CriticalSection)));
    CriticalSection_Construct(manager->pHistoryTableCriticalSection, kHistoryTableLockName);
  }
  history_set_memory(&SharedHistoryMemory);
  history_alloc();
  // A block that fell back to private memory is nobody else's: no lock.
  if (!history_is_shared()) destroy_history_lock(manager);
  install_history_sharing(manager);
}

void YBWCManager_SetHistoryAccumulation(int32_t (*accumulate_history)(int index, int amount),
                                        int32_t (*accumulate_hist_tot)(int index, bool hit)) {
  Accumulation = {};
  Accumulation.accumulate_history = accumulate_history;
  Accumulation.accumulate_hist_tot = accumulate_hist_tot;
}

void YBWCManager_ReleaseTables(YBWCManager* manager) {
  trans_release(Trans);
  history_free();
  destroy_history_lock(manager);
  history_set_sharing(nullptr);
}
