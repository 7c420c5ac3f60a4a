#include "cluster/broadcast_send.h"

#include "base/configuration.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "cluster/hash_table_buffer.h"
#include "cluster/message_types.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"

BroadcastOutcome YBWCManager_SendBroadcast(YBWCManager* manager, Request* shared,
                                           bool (*is_target)(const ProcessorHandler& handler),
                                           const char* operation, const char* init_name,
                                           const std::function<int32_t(Request*)>& init) {
  BroadcastOutcome outcome{0, 0};
  auto fail = [&](const char* callee, int32_t code) {
    QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation, callee, code);
    if (outcome.nFirstCode == 0) outcome.nFirstCode = code;
  };
  // Per-peer records that are freed while the sends run must not take the
  // shared record with them.
  shared->bBroadcastInProgress = 1;
  for (int32_t rank = 0; rank < manager->nSize; rank++) {
    if (rank == manager->nRank) continue;
    ProcessorHandler* handler = ProcessorHandler_Of(rank);
    if (handler == nullptr || (is_target != nullptr && !is_target(*handler))) continue;
    Request* peer = ProcessorHandler_CreateRequest(handler);
    if (peer == nullptr) {
      fail("ProcessorHandler_CreateRequest", kMessageErrorCode);
      continue;
    }
    int32_t code = init(peer);
    if (code != 0) {
      peer->bSendCancelled = 1;
      fail(init_name, code);
      continue;
    }
    code = Request_SendBroadcastBuffer(peer);  // the peer record may be freed from here on
    if (code != 0) {
      fail("Request_SendBroadcastBuffer", code);
      continue;
    }
    outcome.nSent++;
  }
  shared->bBroadcastInProgress = 0;
  if (shared->nReferenceCount <= 0) Request_Destruct(shared);
  return outcome;
}

void YBWCManager_ConstructBroadcastBuffers(YBWCManager* manager) {
  const int32_t chunk_size = manager->pConfiguration->nBroadcastTranspositionTableChunkSize;
  if (manager->pHashTableSendBuffer == nullptr) manager->pHashTableSendBuffer = HashTableBuffer_Construct(chunk_size);
  if (manager->pHashTableReceiveBuffer == nullptr)
    manager->pHashTableReceiveBuffer = HashTableBuffer_Construct(chunk_size);
  MessageContext* context = MessageContext_GetInstance();
  context->pReceiveHashTableBuffer = manager->pHashTableReceiveBuffer;
  context->pHistoryTableBuffer = manager->HistoryTableBuffer;
  context->pHistTotTableBuffer = manager->HistTotTableBuffer;
  context->pHistHitTableBuffer = manager->HistHitTableBuffer;
}

void YBWCManager_DestructBroadcastBuffers(YBWCManager* manager) {
  MessageContext* context = MessageContext_GetInstance();
  if (context->pReceiveHashTableBuffer == manager->pHashTableReceiveBuffer) context->pReceiveHashTableBuffer = nullptr;
  if (context->pHistoryTableBuffer == manager->HistoryTableBuffer) {
    context->pHistoryTableBuffer = nullptr;
    context->pHistTotTableBuffer = nullptr;
    context->pHistHitTableBuffer = nullptr;
  }
  HashTableBuffer_Destruct(manager->pHashTableSendBuffer);
  HashTableBuffer_Destruct(manager->pHashTableReceiveBuffer);
  manager->pHashTableSendBuffer = nullptr;
  manager->pHashTableReceiveBuffer = nullptr;
}
