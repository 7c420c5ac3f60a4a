#pragma once
// Host-wide shared-memory segments of a job, one per key: the first process
// of a host that asks for a key creates the segment, the others attach to it.
// A process that attached only detaches; the one that created it deletes it.
#include <cstdint>

struct YBWCManager;
struct SharedMemoryRecord;

// Creates or attaches to the segment of `nKey` and returns its view, or null
// when it can neither be created nor attached. An existing segment keeps its
// creator's size: the record's nMappedSize tells how much may be used. A view
// this process still has of the key is given up first.
void* YBWCManager_InitSharedMem(YBWCManager* manager, int32_t nKey, uint64_t nSize);
// Unmaps and closes a segment this process attached to; other states are left alone.
void YBWCManager_DetachSharedMem(YBWCManager* manager, int32_t nKey);
// Unmaps, closes and removes a segment this process created; other states are left alone.
void YBWCManager_DeleteSharedMem(YBWCManager* manager, int32_t nKey);
// Detaches the transposition-table segment, then the history segment.
void YBWCManager_DetachAllSharedMem(YBWCManager* manager);
// The record of a key; null for a key that is not a shared-memory key.
SharedMemoryRecord* YBWCManager_SharedMemRecord(YBWCManager* manager, int32_t nKey);
