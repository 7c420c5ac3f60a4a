#include "sharing/shared_memory.h"

#include <cinttypes>
#include <string>

#include "base/log.h"
#include "base/ybwc_manager.h"
#include "platform/shared_memory.h"
#include "sharing/segment_names.h"
#include "sharing/stale_segments.h"

namespace {

// Gives up a view this process still has of the key before it maps the key
// again, with the line that names the table concerned.
void drop_earlier_view(SharedMemoryRecord* record, int32_t nKey) {
  if (record->pView == nullptr) return;
  const bool ok = platform_shared_segment_close(record->hMapObject, record->pView, record->nMappedSize);
  const bool trans = nKey == SHARED_MEMORY_KEY_TRANSPOSITION_TABLE;
  if (ok) {
    QLOG(0, trans ? "INFO successful detach (without delete) of shared memory for transposition table\n"
                  : "INFO successful detach (without delete) of shared memory for history table\n");
  } else {
    QLOG(0, trans ? "INFO detach of shared memory for transposition table failed\n"
                  : "INFO detach of shared memory for history table failed\n");
  }
  record->pView = nullptr;
  record->hMapObject = -1;
  record->nMappedSize = 0;
}

}  // namespace

SharedMemoryRecord* YBWCManager_SharedMemRecord(YBWCManager* manager, int32_t nKey) {
  if (nKey == SHARED_MEMORY_KEY_TRANSPOSITION_TABLE) return &manager->sharedMemory[0];
  if (nKey == SHARED_MEMORY_KEY_HISTORY_TABLE) return &manager->sharedMemory[1];
  return nullptr;
}

void* YBWCManager_InitSharedMem(YBWCManager* manager, int32_t nKey, uint64_t nSize) {
  SharedMemoryRecord* record = YBWCManager_SharedMemRecord(manager, nKey);
  if (record == nullptr) return nullptr;
  const std::string name = SharedMemory_SegmentName(manager, nKey);
  QLOG(0, "INFO shared memory for key %d (map object name %s), size desired = %" PRIu64 "\n", nKey, name.c_str(),
       nSize);
  SharedMemory_RemoveStaleOnce(manager);

  const SharedSegment segment = platform_shared_segment_open(name.c_str(), nSize);
  if (segment.outcome == SharedSegmentOutcome::OpenFailed) {
    QLOG(1,
         "ERROR YBWCManager_InitSharedMem(... failed at hMapObject = CreateFileMapping(INVALID_HANDLE_VALUE, NULL, "
         "PAGE_READWRITE, 0, %" PRIu64 ", %s)), result = %d\n",
         nSize, name.c_str(), segment.error);
    return nullptr;
  }
  if (segment.outcome == SharedSegmentOutcome::MapFailed) {
    QLOG(1,
         "ERROR YBWCManager_InitSharedMem(... failed at pcResult = MapViewOfFile(hMapObject, FILE_MAP_WRITE, , 0, 0, "
         "0)), result = %d\n",
         segment.error);
    return nullptr;
  }

  const bool created = segment.outcome == SharedSegmentOutcome::Created;
  // A segment that this process created and still has keeps its creator
  // when it is mapped again: its name must still be removed at the end.
  const bool still_creator = record->nState == SHARED_MEMORY_CREATED && !created;
  drop_earlier_view(record, nKey);
  record->nState = created || still_creator ? SHARED_MEMORY_CREATED : SHARED_MEMORY_ATTACHED;
  record->hMapObject = segment.handle;
  record->pView = segment.view;
  record->nMappedSize = segment.size;
  if (created) {
    QLOG(0, "INFO shared memory for key %d (map object name %s) with size %" PRIu64 " successfully allocated\n", nKey,
         name.c_str(), segment.size);
  } else {
    QLOG(0, "INFO shared memory for key %d (map object name %s) with size %" PRIu64 " already allocated\n", nKey,
         name.c_str(), segment.size);
  }
  return segment.view;
}

void YBWCManager_DetachSharedMem(YBWCManager* manager, int32_t nKey) {
  SharedMemoryRecord* record = YBWCManager_SharedMemRecord(manager, nKey);
  if (record == nullptr || record->nState != SHARED_MEMORY_ATTACHED) return;
  if (platform_shared_segment_close(record->hMapObject, record->pView, record->nMappedSize)) {
    QLOG(0, "INFO successful detach (without delete) of shared memory for key %d\n", nKey);
  } else {
    QLOG(0, "ERROR detach of shared memory for key %d failed\n", nKey);
  }
  *record = SharedMemoryRecord{SHARED_MEMORY_NOT_IN_USE, -1, nullptr, 0};
}

void YBWCManager_DeleteSharedMem(YBWCManager* manager, int32_t nKey) {
  SharedMemoryRecord* record = YBWCManager_SharedMemRecord(manager, nKey);
  if (record == nullptr || record->nState != SHARED_MEMORY_CREATED) return;
  // The name goes even when the view cannot be given back: nothing of the
  // job may stay behind on the host.
  bool ok = record->pView == nullptr ||
            platform_shared_segment_close(record->hMapObject, record->pView, record->nMappedSize);
  ok = platform_shared_segment_remove(SharedMemory_SegmentName(manager, nKey).c_str()) && ok;
  if (ok) {
    QLOG(0, "INFO successful detach and delete of shared memory for key %d\n", nKey);
  } else {
    QLOG(0, "ERROR detach and delete of shared memory for key %d failed\n", nKey);
  }
  *record = SharedMemoryRecord{SHARED_MEMORY_NOT_IN_USE, -1, nullptr, 0};
}

void YBWCManager_DetachAllSharedMem(YBWCManager* manager) {
  YBWCManager_DetachSharedMem(manager, SHARED_MEMORY_KEY_TRANSPOSITION_TABLE);
  YBWCManager_DetachSharedMem(manager, SHARED_MEMORY_KEY_HISTORY_TABLE);
}
