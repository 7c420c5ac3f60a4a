#pragma once
// The transposition-table broadcast. Entries the search stores are packed
// straight into the buffer of the open chunk (a request record of type 18
// that goes out as type 17); a chunk that holds nChunkSizeForFlush entries
// is sent to the broadcast targets and a new one is opened with the next
// entry. A chunk is only ever sent full, so the entry count in its header is
// always the number of entries it carries.
#include <cstdint>

#include "base/ybwc_manager.h"
#include "cluster/message_types.h"

// Chunk sizes are limited to 1 .. kHashTableChunkMaxSize entries.
HashTableBuffer* HashTableBuffer_Construct(int32_t chunk_size);
// Drops the open chunk and frees the buffer.
void HashTableBuffer_Destruct(HashTableBuffer* buffer);
// Appends an entry to the open chunk (opening one if needed) and broadcasts
// the chunk once it is full. An entry that cannot be packed is not counted
// and leaves the chunk as it was. Returns 0 or the first failure.
int32_t HashTableBuffer_AddEntryAndCheckBroadcast(HashTableBuffer* buffer, uint64_t key, int32_t move, int32_t depth,
                                                  int32_t flags, int32_t value);
// Sends the open chunk to every other rank, or with "Share Hash Table" only
// to the broadcast targets (the lowest rank of each other host, whose host
// shares its table); no chunk is open afterwards.
int32_t HashTableBuffer_Broadcast(HashTableBuffer* buffer);
// Drops the open chunk (a send still under way frees it when it ends).
void HashTableBuffer_Reset(HashTableBuffer* buffer);

// ---- The search's side ---------------------------------------------------------------------

// True while stored entries are broadcast; the one test on the store path
// of a job on one host or of a single process.
inline bool YBWCManager_BroadcastsTranspositionTable() {
  return g_pYBWCManagerInstance != nullptr && g_pYBWCManagerInstance->bDoBroadcastTranspositionTable != 0;
}
// An entry stored at the end of a node: added when its depth reaches
// "Broadcast Min Depth of Hash Table".
[[gnu::cold]] void YBWCManager_BroadcastStoredEntry(uint64_t key, int32_t move, int32_t depth, int32_t flags, int32_t value);
// A move hint of the principal variation: always added.
[[gnu::cold]] void YBWCManager_BroadcastMoveHint(uint64_t key, int32_t move, int32_t depth, int32_t flags, int32_t value);
