#include "cluster/hash_table_buffer.h"

#include <cstdlib>

#include "base/configuration.h"
#include "base/fatal.h"
#include "base/log.h"
#include "cluster/broadcast_send.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"

namespace {

constexpr const char* kAdd = "HashTableBuffer_AddEntryAndCheckBroadcast";

bool shares_table_with_its_host(const ProcessorHandler& handler) { return handler.bHashTableBroadcastTarget != 0; }

// Opens a chunk: its header (type 17 and the entry count) is packed at once.
int32_t open_chunk(HashTableBuffer* buffer) {
  Request* chunk = Request_Construct();
  const int32_t code = Request_InitHashTableBroadcastBuffer(chunk, buffer);
  if (code != 0) {
    QLOG(1, "ERROR %s(... failed at Request_InitHashTableBroadcastBuffer(..., errorcode = %d\n", kAdd, code);
    Request_Destruct(chunk);
    return code;
  }
  buffer->pBroadcastRequest = chunk;
  return 0;
}

// Packs one entry after the chunk's last one; on failure the chunk is cut
// back to where the entry began, so that it holds whole entries only.
int32_t append_entry(Request* chunk, uint64_t key, int32_t move, int32_t depth, int32_t flags, int32_t value) {
  const int32_t start = chunk->nPosition;
  int32_t code = MPIWrapper_Pack_UINT64(key, chunk->buffer, &chunk->nPosition);
  const char* failed = "failed MPIWrapper_Pack_UINT64(... nKey...";
  if (code == 0) {
    code = MPIWrapper_Pack_INT(move, chunk->buffer, &chunk->nPosition);
    failed = "failed MPIWrapper_Pack_INT(... nMove...";
  }
  if (code == 0) {
    code = MPIWrapper_Pack_INT(depth, chunk->buffer, &chunk->nPosition);
    failed = "failed MPIWrapper_Pack_INT(... nDepth...";
  }
  if (code == 0) {
    code = MPIWrapper_Pack_INT(flags, chunk->buffer, &chunk->nPosition);
    failed = "failed MPIWrapper_Pack_INT(... nFlags...";
  }
  if (code == 0) {
    code = MPIWrapper_Pack_INT(value, chunk->buffer, &chunk->nPosition);
    failed = "failed at MPIWrapper_Pack_INT(... nValue...";
  }
  if (code == 0) return 0;
  QLOG(1, "ERROR %s(... %s, errorcode = %d\n", kAdd, failed, code);
  chunk->nPosition = start;
  return code;
}

}  // namespace

HashTableBuffer* HashTableBuffer_Construct(int32_t chunk_size) {
  auto* buffer = static_cast<HashTableBuffer*>(my_malloc(sizeof(HashTableBuffer)));
  buffer->nMaxSize = kHashTableChunkMaxSize;
  buffer->nCount = 0;
  buffer->nChunkSizeForFlush = chunk_size < 1 ? 1 : chunk_size > kHashTableChunkMaxSize ? kHashTableChunkMaxSize : chunk_size;
  buffer->pBroadcastRequest = nullptr;
  return buffer;
}

void HashTableBuffer_Destruct(HashTableBuffer* buffer) {
  if (buffer == nullptr) return;
  HashTableBuffer_Reset(buffer);
  std::free(buffer);
}

void HashTableBuffer_Reset(HashTableBuffer* buffer) {
  Request* chunk = buffer->pBroadcastRequest;
  buffer->pBroadcastRequest = nullptr;
  buffer->nCount = 0;
  // A chunk whose sends still run is freed by its broadcast or its last send.
  if (chunk != nullptr && chunk->nReferenceCount <= 0 && !chunk->bBroadcastInProgress) Request_Destruct(chunk);
}

int32_t HashTableBuffer_AddEntryAndCheckBroadcast(HashTableBuffer* buffer, uint64_t key, int32_t move, int32_t depth,
                                                  int32_t flags, int32_t value) {
  if (buffer->nCount >= buffer->nMaxSize) {
    QLOG(1, "ERROR %s(... pThis->nCount (%d) >= pThis->nMaxSize (%d)\n", kAdd, buffer->nCount, buffer->nMaxSize);
    HashTableBuffer_Broadcast(buffer);
    if (buffer->nCount >= buffer->nMaxSize) {
      QLOG(1, "ERROR %s(... still pThis->nCount (%d) >= pThis->nMaxSize (%d)\n", kAdd, buffer->nCount,
           buffer->nMaxSize);
      return 0;
    }
  }
  // Messages serviced while a chunk is being sent may reach a store: the
  // bytes under way must not change, so such an entry is left out.
  if (buffer->pBroadcastRequest != nullptr && buffer->pBroadcastRequest->bBroadcastInProgress) return 0;
  if (buffer->pBroadcastRequest == nullptr) {
    const int32_t code = open_chunk(buffer);
    if (code != 0) return code;
  }
  const int32_t code = append_entry(buffer->pBroadcastRequest, key, move, depth, flags, value);
  if (code != 0) return code;
  if (++buffer->nCount >= buffer->nChunkSizeForFlush) {
    const int32_t broadcast = HashTableBuffer_Broadcast(buffer);
    buffer->nCount = 0;
    return broadcast;
  }
  return 0;
}

int32_t HashTableBuffer_Broadcast(HashTableBuffer* buffer) {
  Request* chunk = buffer->pBroadcastRequest;
  if (chunk == nullptr) {
    buffer->nCount = 0;
    return 0;
  }
  YBWCManager* manager = YBWCManager_GetInstance();
  const bool shared_tables = manager->pConfiguration->bUseSharedMemoryTranspositionTable != 0;
  const int32_t bytes = chunk->nPosition;
  const BroadcastOutcome outcome = YBWCManager_SendBroadcast(
      manager, chunk, shared_tables ? shares_table_with_its_host : nullptr, "HashTableBuffer_Broadcast",
      "Request_InitHashTableReplication", [buffer](Request* peer) { return Request_InitHashTableReplication(peer, buffer); });
  // The chunk is gone or belongs to its last send now; a reset while it was
  // sent may have opened another one already.
  if (buffer->pBroadcastRequest == chunk) buffer->pBroadcastRequest = nullptr;
  buffer->nCount = 0;
  manager->nHashTableChunksSent++;
  manager->nHashTableMessagesSent += outcome.nSent;
  manager->nHashTableBytesSent += static_cast<int64_t>(outcome.nSent) * bytes;
  return outcome.nFirstCode;
}

void YBWCManager_BroadcastStoredEntry(uint64_t key, int32_t move, int32_t depth, int32_t flags, int32_t value) {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (depth < manager->pConfiguration->nMinimumTransDepthForBroadcast) return;
  YBWCManager_BroadcastMoveHint(key, move, depth, flags, value);
}

void YBWCManager_BroadcastMoveHint(uint64_t key, int32_t move, int32_t depth, int32_t flags, int32_t value) {
  HashTableBuffer* buffer = YBWCManager_GetInstance()->pHashTableSendBuffer;
  if (buffer == nullptr) return;
  const int32_t code = HashTableBuffer_AddEntryAndCheckBroadcast(buffer, key, move, depth, flags, value);
  if (code != 0)
    QLOG(1, "ERROR fullSearch(... failed at HashTableBuffer_AddEntryAndCheckBroadcast(..., errorcode = %d\n", code);
}
