#include "cluster/request.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "base/configuration.h"
#include "base/fatal.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/trans.h"
#include "cluster/message_fields.h"
#include "cluster/processor_handler.h"

namespace {

constexpr const char* kFill = "Request_FillParameterIntoBuffer";
constexpr const char* kGet = "Request_GetParameterFromBuffer";

// Owned copy of at most max_length characters (a missing text gives "").
char* copy_text(const char* text, int max_length) {
  if (text == nullptr) text = "";
  size_t length = std::strlen(text);
  if (length > static_cast<size_t>(max_length)) length = static_cast<size_t>(max_length);
  char* copy = static_cast<char*>(my_malloc(length + 1));
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

void replace_text(char** owned, const char* text, int max_length) {
  std::free(*owned);
  *owned = copy_text(text, max_length);
}

// Runs the fill and logs its failure in the initialiser's name.
int32_t fill(Request* request, const char* initialiser) {
  const int32_t code = Request_FillParameterIntoBuffer(request);
  if (code != 0)
    QLOG(1, "ERROR %s(... failed at Request_FillParameterIntoBuffer(..., errorcode = %d\n", initialiser, code);
  return code;
}

int32_t init_plain(Request* request, RequestType type, const char* initialiser) {
  request->nType = type;
  return fill(request, initialiser);
}

// Per-peer records of a broadcast send the shared record's buffer, never
// their own: they keep a reference so the shared record outlives their send.
void reference_broadcast_buffer(Request* request, Request* shared) {
  request->pBroadcastBuffer = shared;
  if (shared != nullptr) ++shared->nReferenceCount;
}

// The wire type of a record: the shared broadcast records go out as the
// replication they carry.
int32_t wire_type(int32_t type) {
  switch (type) {
    case REQUEST_TYPE_HASH_TABLE_BROADCAST_BUFFER: return REQUEST_TYPE_HASH_TABLE_REPLICATION;
    case REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER: return REQUEST_TYPE_HISTORY_TABLE_REPLICATION;
    case REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER: return REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION;
    default: return type;
  }
}

bool merge_needs_lock() {
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  const MessageContext* context = MessageContext_GetInstance();
  return config->bUseSharedMemoryHistoryTable && config->bSynchronizeHistoryTableAccess &&
         context->lock_history != nullptr && context->unlock_history != nullptr;
}

void halve_all(uint16_t* table) {
  for (int i = 0; i < HistorySize; i++) table[i] = static_cast<uint16_t>((table[i] + 1) / 2);
}

}  // namespace

Request* Request_Construct() {
  auto* request = static_cast<Request*>(my_malloc(sizeof(Request)));
  std::memset(request, 0, sizeof *request);
  request->nSource = -1;
  request->nDestination = -1;
  request->mpiRequest = MPI_REQUEST_NULL;
  request->bParametersUnread = 1;
  request->nSyncPositionId = -1;
  request->nWorkId = -2;
  request->nStackIndex = -1;
  request->nMoveListIndex = -1;
  request->nHistoryTableCount = -1;
  request->nHistTotTableCount = -1;
  request->nHistHitTableCount = -1;
  request->nPackCode = kMessageErrorCode;  // nothing packed yet
  return request;
}

void Request_Destruct(Request* request) {
  if (request == nullptr) return;
  std::free(request->psSyncPosition);
  std::free(request->psOptionName);
  std::free(request->psOptionValue);
  std::free(request->psGoCommands);
  Request* shared = request->pBroadcastBuffer;
  if (shared != nullptr && --shared->nReferenceCount <= 0) {
    if (shared->bBroadcastInProgress)
      QLOG(5, "INFO buffer destruction prevented\n");
    else
      Request_Destruct(shared);
  }
  std::free(request);
}

int32_t Request_InitRootMasterLogonInvitation(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_LOGON_INVITATION, "Request_InitRootMasterLogonInvitation");
}

int32_t Request_InitRootMasterLogoffInvitation(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_LOGOFF_INVITATION, "Request_InitRootMasterLogoffInvitation");
}

int32_t Request_InitRootMasterShutdown(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_SHUTDOWN, "Request_InitRootMasterShutdown");
}

int32_t Request_InitRootMasterIdleInvitation(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION, "Request_InitRootMasterIdleInvitation");
}

int32_t Request_InitRootMasterSyncPosition(Request* request, const char* position_command) {
  request->nType = REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION;
  replace_text(&request->psSyncPosition, position_command, kSyncPositionMaxLength);
  return fill(request, "Request_InitRootMasterSyncPosition");
}

int32_t Request_InitRootMasterSupportSearch(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH, "Request_InitRootMasterSupportSearch");
}

int32_t Request_InitRootMasterStopRemoteSearch(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_STOP_REMOTE_SEARCH, "Request_InitRootMasterStopRemoteSearch");
}

int32_t Request_InitRootMasterNewGame(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_NEW_GAME, "Request_InitRootMasterNewGame");
}

int32_t Request_InitRootMasterSetOption(Request* request, const char* option_name, const char* option_value) {
  request->nType = REQUEST_TYPE_ROOT_MASTER_SET_OPTION;
  replace_text(&request->psOptionName, option_name, kOptionTextMaxLength);
  replace_text(&request->psOptionValue, option_value, kOptionTextMaxLength);
  return fill(request, "Request_InitRootMasterSetOption");
}

int32_t Request_InitRootMasterRemoteTest(Request* request, const char* go_commands) {
  request->nType = REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST;
  replace_text(&request->psGoCommands, go_commands, kOptionTextMaxLength);
  return fill(request, "Request_InitRootMasterRemoteTest");
}

int32_t Request_InitRootMasterMachineInfo(Request* request) {
  return init_plain(request, REQUEST_TYPE_ROOT_MASTER_MACHINE_INFO, "Request_InitRootMasterMachineInfo");
}

int32_t Request_InitNonRootMasterSyncAfterBroadcast(Request* request) {
  return init_plain(request, REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST,
                    "Request_InitNonRootMasterSyncAfterBroadcast");
}

int32_t Request_InitSlaveTryToGetWork(Request* request, int32_t nSyncPositionId) {
  request->nType = REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK;
  request->nSyncPositionId = nSyncPositionId;
  return fill(request, "Request_InitSlaveTryToGetWork");
}

int32_t Request_InitMasterStop(Request* request, int64_t nWorkId) {
  request->nType = REQUEST_TYPE_MASTER_STOP;
  request->nWorkId = nWorkId;
  return fill(request, "Request_InitMasterStop");
}

int32_t Request_InitSlaveProcessSearchResult(Request* request, int64_t nWorkId, int32_t nStackIndex,
                                             int32_t nMoveListIndex, int32_t nBestMove, int32_t nBestValue,
                                             int32_t nFlags, int32_t nDepth, int32_t nMaxDepth, int32_t nPVLength,
                                             const uint16_t* pPV, int32_t bPonderMoveOk, double dTime,
                                             double dSpeed, double dCPU, int64_t nNodes, uint64_t nTransUsed) {
  request->nType = REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT;
  request->nWorkId = nWorkId;
  request->nStackIndex = nStackIndex;
  request->nMoveListIndex = nMoveListIndex;
  request->nBestMove = nBestMove;
  request->nBestValue = nBestValue;
  request->nFlags = nFlags;
  request->nDepth = nDepth;
  request->nMaxDepth = nMaxDepth;
  request->nPVLength = nPVLength;
  request->pPV = pPV;
  request->bPonderMoveOk = bPonderMoveOk;
  request->dTime = dTime;
  request->dSpeed = dSpeed;
  request->dCPU = dCPU;
  request->nNodes = nNodes;
  request->nTransUsed = nTransUsed;
  return fill(request, "Request_InitSlaveProcessSearchResult");
}

int32_t Request_InitMasterUpdateSearchWindow(Request* request, int64_t nWorkId, int32_t nAlpha, int32_t nBeta) {
  request->nType = REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW;
  request->nWorkId = nWorkId;
  request->nAlpha = nAlpha;
  request->nBeta = nBeta;
  return fill(request, "Request_InitMasterUpdateSearchWindow");
}

int32_t Request_InitHashTableReplication(Request* request, HashTableBuffer* pHashTableBuffer) {
  request->nType = REQUEST_TYPE_HASH_TABLE_REPLICATION;
  request->pHashTableBuffer = pHashTableBuffer;
  reference_broadcast_buffer(request, pHashTableBuffer != nullptr ? pHashTableBuffer->pBroadcastRequest : nullptr);
  return fill(request, "Request_InitHashTableReplication");
}

int32_t Request_InitHashTableBroadcastBuffer(Request* request, HashTableBuffer* pHashTableBuffer) {
  request->nType = REQUEST_TYPE_HASH_TABLE_BROADCAST_BUFFER;
  request->pHashTableBuffer = pHashTableBuffer;
  return fill(request, "Request_InitHashTableBroadcastBuffer");
}

int32_t Request_InitHistoryTableReplication(Request* request, Request* pBroadcastBuffer) {
  request->nType = REQUEST_TYPE_HISTORY_TABLE_REPLICATION;
  reference_broadcast_buffer(request, pBroadcastBuffer);
  return fill(request, "Request_InitHistoryTableReplication");
}

int32_t Request_InitHistoryTableBroadcastBuffer(Request* request) {
  return init_plain(request, REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER, "Request_InitHistoryTableBroadcastBuffer");
}

int32_t Request_InitHistTotTableReplication(Request* request, Request* pBroadcastBuffer) {
  request->nType = REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION;
  reference_broadcast_buffer(request, pBroadcastBuffer);
  return fill(request, "Request_InitHistTotTableReplication");
}

int32_t Request_InitHistTotTableBroadcastBuffer(Request* request) {
  return init_plain(request, REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER, "Request_InitHistTotTableBroadcastBuffer");
}

int32_t Request_FillParameterIntoBuffer(Request* request) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const MessageContext* context = MessageContext_GetInstance();
  request->nPosition = 0;
  MessagePacker packer(kFill, request->buffer, &request->nPosition);
  packer.Int(wire_type(request->nType), "pThis->nType");

  switch (request->nType) {
    case REQUEST_TYPE_UNDEFINED:
    case REQUEST_TYPE_ROOT_MASTER_LOGON_INVITATION:
    case REQUEST_TYPE_ROOT_MASTER_LOGOFF_INVITATION:
    case REQUEST_TYPE_ROOT_MASTER_SHUTDOWN:
    case REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION:
    case REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH:
    case REQUEST_TYPE_ROOT_MASTER_STOP_REMOTE_SEARCH:
    case REQUEST_TYPE_ROOT_MASTER_NEW_GAME:
    case REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST:
      break;
    case REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION:
      packer.Int(manager->nSyncPositionId, "nSyncPositionId");
      packer.Str(request->psSyncPosition, "pThis->psSyncPosition");
      break;
    case REQUEST_TYPE_ROOT_MASTER_SET_OPTION:
      packer.Str(request->psOptionName, "pThis->psOptionName");
      packer.Str(request->psOptionValue, "pThis->psOptionValue");
      break;
    case REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST:
      packer.Str(request->psGoCommands, "pThis->psGoCommands");
      break;
    case REQUEST_TYPE_ROOT_MASTER_MACHINE_INFO:
      for (int32_t rank = 0; rank < manager->nSize && rank < kMaxProcessors; rank++) {
        const ProcessorHandler* handler = manager->pProcessorHandlers[rank];
        packer.Str(handler != nullptr ? handler->sProcessorName : "", "sProcessorName");
      }
      break;
    case REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK:
      packer.Int(request->nSyncPositionId, "pThis->nSyncPositionId");
      break;
    case REQUEST_TYPE_MASTER_STOP:
      packer.Int64(request->nWorkId, "pThis->nWorkId");
      break;
    case REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT:
      packer.Int(manager->nSyncPositionId, "nSyncPositionId");
      packer.Int64(request->nWorkId, "pThis->nWorkId");
      packer.Int(request->nStackIndex, "pThis->nStackIndex");
      packer.Int(request->nMoveListIndex, "pThis->nMoveListIndex");
      pack_search_result(&packer, request);
      packer.Uint64(request->nTransUsed, "pThis->nTransUsed");
      break;
    case REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW:
      packer.Int64(request->nWorkId, "pThis->nWorkId");
      packer.Int(request->nAlpha, "pThis->nAlpha");
      packer.Int(request->nBeta, "pThis->nBeta");
      break;
    case REQUEST_TYPE_HASH_TABLE_REPLICATION:
    case REQUEST_TYPE_HISTORY_TABLE_REPLICATION:
    case REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION:
      // A per-peer record sends its shared record's buffer: its own buffer
      // carries the type alone and is never sent.
      if (request->pBroadcastBuffer == nullptr) packer.Fail(kMessageErrorCode, "pThis->pBroadcastBuffer");
      break;
    case REQUEST_TYPE_HASH_TABLE_BROADCAST_BUFFER:
      // The header only: the entries are appended as they are collected.
      if (request->pHashTableBuffer == nullptr)
        packer.Fail(kMessageErrorCode, "pThis->pHashTableBuffer");
      else
        packer.Int(request->pHashTableBuffer->nChunkSizeForFlush, "pThis->pHashTableBuffer->nChunkSizeForFlush");
      break;
    case REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER:
      packer.Int(manager->nSyncPositionId, "nSyncPositionId");
      packer.HistoryTable(context->pHistoryTableBuffer, "HistoryTableBuffer");
      break;
    case REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER:
      packer.Int(manager->nSyncPositionId, "nSyncPositionId");
      packer.HistoryTable(context->pHistTotTableBuffer, "HistTotTableBuffer");
      packer.HistoryTable(context->pHistHitTableBuffer, "HistHitTableBuffer");
      break;
    default:
      packer.Fail(kMessageErrorCode, "switch(pThis->nType) (default)");
      break;
  }
  request->nPackCode = packer.code();
  return packer.code();
}

int32_t Request_GetParameterFromBuffer(Request* request) {
  YBWCManager* manager = YBWCManager_GetInstance();
  request->nPosition = 0;
  MessageUnpacker unpacker(kGet, request->buffer, &request->nPosition);
  int32_t type = REQUEST_TYPE_UNDEFINED;
  unpacker.Int(&type, "pThis->nType");
  if (!unpacker.ok()) return unpacker.code();
  // A type this process does not know is refused before any field is read.
  if (type < 0 || type >= REQUEST_TYPE_COUNT) {
    QLOG(1, "ERROR %s(... unknown type %d, errorcode = %d\n", kGet, type, kMessageErrorCode);
    return kMessageErrorCode;
  }
  request->nType = type;
  QLOG(type == REQUEST_TYPE_HASH_TABLE_REPLICATION ? 999 : 6, "Request received from processor <%d>, Type = %d <%s>\n",
       request->nSource, type, request_type_name(type));

  switch (type) {
    case REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION: {
      char text[kSyncPositionMaxLength + 1];
      unpacker.Int(&request->nSyncPositionId, "pThis->nSyncPositionId");
      unpacker.Str(text, sizeof text, "pThis->psSyncPosition");
      if (!unpacker.ok()) break;
      replace_text(&request->psSyncPosition, text, kSyncPositionMaxLength);
      QLOG(6, "nSyncPositionId = %d\n", request->nSyncPositionId);
      QLOG(6, "SyncPosition for <%s>\n", request->psSyncPosition);
      break;
    }
    case REQUEST_TYPE_ROOT_MASTER_SET_OPTION: {
      char name[kOptionTextMaxLength + 1];
      char value[kOptionTextMaxLength + 1];
      unpacker.Str(name, sizeof name, "pThis->psOptionName");
      unpacker.Str(value, sizeof value, "pThis->psOptionValue");
      if (!unpacker.ok()) break;
      replace_text(&request->psOptionName, name, kOptionTextMaxLength);
      replace_text(&request->psOptionValue, value, kOptionTextMaxLength);
      QLOG(6, "sOptionName <%s>\n", request->psOptionName);
      QLOG(6, "sOptionValue <%s>\n", request->psOptionValue);
      break;
    }
    case REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST: {
      char go[kOptionTextMaxLength + 1];
      unpacker.Str(go, sizeof go, "pThis->psGoCommands");
      if (!unpacker.ok()) break;
      replace_text(&request->psGoCommands, go, kOptionTextMaxLength);
      QLOG(6, "GoCommands <%s>\n", request->psGoCommands);
      break;
    }
    case REQUEST_TYPE_ROOT_MASTER_MACHINE_INFO:
      for (int32_t rank = 0; rank < manager->nSize && rank < kMaxProcessors && unpacker.ok(); rank++) {
        char name[MPI_MAX_PROCESSOR_NAME + 1];
        unpacker.Str(name, sizeof name, "sProcessorName");
        ProcessorHandler* handler = manager->pProcessorHandlers[rank];
        if (!unpacker.ok() || handler == nullptr) continue;
        std::strncpy(handler->sProcessorName, name, sizeof handler->sProcessorName - 1);
        handler->sProcessorName[sizeof handler->sProcessorName - 1] = '\0';
        QLOG(5, "Processor name on rank %d is <%s>\n", rank, handler->sProcessorName);
      }
      break;
    case REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK:
      unpacker.Int(&request->nSyncPositionId, "pThis->nSyncPositionId");
      if (unpacker.ok()) QLOG(6, "nSyncPositionId = %d\n", request->nSyncPositionId);
      break;
    case REQUEST_TYPE_MASTER_STOP:
      unpacker.Int64(&request->nWorkId, "pThis->nWorkId");
      if (unpacker.ok()) QLOG(5, "nWorkId = <%12" PRId64 ">\n", request->nWorkId);
      break;
    case REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT:
      unpacker.Int(&request->nSyncPositionId, "pThis->nSyncPositionId");
      unpacker.Int64(&request->nWorkId, "pThis->nWorkId");
      unpacker.Int(&request->nStackIndex, "pThis->nStackIndex");
      unpacker.Int(&request->nMoveListIndex, "pThis->nMoveListIndex");
      unpack_search_result(&unpacker, request);
      unpacker.Uint64(&request->nTransUsed, "pThis->nTransUsed");
      if (!unpacker.ok() || !log_level_enabled(5)) break;
      QLOG(5, "nSyncPositionId = <%d>\n", request->nSyncPositionId);
      QLOG(5, "nWorkId = <%12" PRId64 ">\n", request->nWorkId);
      QLOG(5, "nStackIndex = <%d>\n", request->nStackIndex);
      QLOG(5, "nMoveListIndex = <%d>\n", request->nMoveListIndex);
      log_search_result(request);
      QLOG(5, "nTransUSed <%12" PRIu64 ">\n", request->nTransUsed);
      break;
    case REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW:
      unpacker.Int64(&request->nWorkId, "pThis->nWorkId");
      unpacker.Int(&request->nAlpha, "pThis->nAlpha");
      unpacker.Int(&request->nBeta, "pThis->nBeta");
      if (!unpacker.ok()) break;
      QLOG(5, "nWorkId = <%12" PRId64 ">\n", request->nWorkId);
      QLOG(5, "nAlpha = <%d>\n", request->nAlpha);
      QLOG(5, "nBeta = <%d>\n", request->nBeta);
      break;
    case REQUEST_TYPE_HASH_TABLE_REPLICATION:
      return Request_GetHashTableBufferParameterFromBuffer(request, &unpacker);
    case REQUEST_TYPE_HISTORY_TABLE_REPLICATION:
      return Request_GetHistoryTableBufferParameterFromBuffer(request, &unpacker);
    case REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION:
      return Request_GetHistTotTableBufferParameterFromBuffer(request, &unpacker);
    default:
      break;  // the remaining types carry nothing after their type
  }
  return unpacker.code();
}

int32_t Request_GetHashTableBufferParameterFromBuffer(Request* request, MessageUnpacker* unpacker) {
  const YBWCManager* manager = YBWCManager_GetInstance();
  HashTableBuffer* received = MessageContext_GetInstance()->pReceiveHashTableBuffer;
  request->pHashTableBuffer = received;
  if (received != nullptr) received->nCount = 0;

  int32_t count = 0;
  unpacker->Int(&count, "nCount");
  if (!unpacker->ok()) return unpacker->code();
  QLOG(999, "nCount = %d\n", count);
  // A count beyond a chunk's size cannot come from a sender; reading it would
  // only run past the buffer's end entry after entry.
  if (count < 0 || count > kHashTableChunkMaxSize) {
    unpacker->Fail(MPI_ERR_TRUNCATE, "nCount out of range");
    return unpacker->code();
  }

  const bool store = manager->bLoggedOn && !manager->bNoTransStore && Trans != nullptr;
  int32_t first_code = 0;
  for (int32_t i = 0; i < count; i++) {
    MessageUnpacker entry(kGet, request->buffer, &request->nPosition);
    uint64_t key = 0;
    int32_t move = 0, depth = 0, flags = 0, value = 0;
    entry.Uint64(&key, "nKey");
    entry.Int(&move, "nMove");
    entry.Int(&depth, "nDepth");
    entry.Int(&flags, "nFlags");
    entry.Int(&value, "nValue");
    // A partly read entry is not stored.
    if (!entry.ok()) {
      if (first_code == 0) first_code = entry.code();
      continue;
    }
    if (i == 0 && log_level_enabled(999)) {
      QLOG(999, "nKey = <%12" PRIu64 ">\n", key);
      QLOG(999, "nMove = %d\n", move);
      QLOG(999, "nDepth = %d\n", depth);
      QLOG(999, "nFlags = %d\n", flags);
      QLOG(999, "nValue = %d\n", value);
    }
    if (store) trans_store(Trans, key, move, depth, flags, value);
    if (received != nullptr) ++received->nCount;
  }
  return first_code;
}

int32_t Request_GetHistoryTableBufferParameterFromBuffer(Request* request, MessageUnpacker* unpacker) {
  const YBWCManager* manager = YBWCManager_GetInstance();
  unpacker->Int(&request->nSyncPositionId, "pThis->nSyncPositionId");
  unpacker->UshortArray(&request->nHistoryTableCount, request->HistoryTable, HistorySize, "pThis->HistoryTable");
  if (!unpacker->ok()) return unpacker->code();
  QLOG(6, "nSyncPositionId = %d\n", request->nSyncPositionId);
  QLOG(5, "nHistoryTableSize = <%d>\n", request->nHistoryTableCount);

  if (!manager->bLoggedOn || request->nSyncPositionId != manager->nSyncPositionId || history_reset_count() == 0 ||
      gpHistory == nullptr)
    return 0;
  const bool locked = merge_needs_lock();
  if (locked) MessageContext_GetInstance()->lock_history();
  bool overflow = false;
  for (int32_t i = 0; i < request->nHistoryTableCount; i++) {
    gpHistory->History[i] = static_cast<uint16_t>(gpHistory->History[i] + request->HistoryTable[i]);
    if (gpHistory->History[i] > HistoryMax - 1) overflow = true;
  }
  if (overflow) halve_all(gpHistory->History);
  if (locked) MessageContext_GetInstance()->unlock_history();
  return 0;
}

int32_t Request_GetHistTotTableBufferParameterFromBuffer(Request* request, MessageUnpacker* unpacker) {
  const YBWCManager* manager = YBWCManager_GetInstance();
  unpacker->Int(&request->nSyncPositionId, "pThis->nSyncPositionId");
  unpacker->UshortArray(&request->nHistTotTableCount, request->HistTotTable, HistorySize, "pThis->HistTotTable");
  unpacker->UshortArray(&request->nHistHitTableCount, request->HistHitTable, HistorySize, "pThis->HistHitTable");
  if (!unpacker->ok()) return unpacker->code();
  QLOG(6, "nSyncPositionId = %d\n", request->nSyncPositionId);
  QLOG(5, "nHistTotTableSize = <%d>\n", request->nHistTotTableCount);
  QLOG(5, "nHistHitTableSize = <%d>\n", request->nHistHitTableCount);

  if (request->nSyncPositionId != manager->nSyncPositionId || history_reset_count() == 0 || gpHistory == nullptr)
    return 0;
  const bool locked = merge_needs_lock();
  if (locked) MessageContext_GetInstance()->lock_history();
  for (int32_t i = 0; i < HistorySize; i++) {
    if (i < request->nHistHitTableCount)
      gpHistory->HistHit[i] = static_cast<uint16_t>(gpHistory->HistHit[i] + request->HistHitTable[i]);
    if (i < request->nHistTotTableCount)
      gpHistory->HistTot[i] = static_cast<uint16_t>(gpHistory->HistTot[i] + request->HistTotTable[i]);
    if (gpHistory->HistTot[i] > HistoryMax - 1) {
      gpHistory->HistTot[i] = static_cast<uint16_t>((gpHistory->HistTot[i] + 1) / 2);
      gpHistory->HistHit[i] = static_cast<uint16_t>((gpHistory->HistHit[i] + 1) / 2);
    }
  }
  if (locked) MessageContext_GetInstance()->unlock_history();
  return 0;
}

const char* Request_GetTypeName(Request* request) {
  std::strncpy(request->sTypeName, request_type_name(request->nType), kTypeNameMaxLength);
  request->sTypeName[kTypeNameMaxLength] = '\0';
  return request->sTypeName;
}

int32_t Request_Send(Request* request) {
  const int32_t code = message_issue_send("Request_Send", request->buffer, request->nPosition, request->nPackCode,
                                          request->nDestination, MESSAGE_TAG_REQUEST, &request->mpiRequest,
                                          &request->bSendCancelled);
  if (code != 0) return code;
  return message_wait_for_sends("Request_Send", request->nDestination);
}

int32_t Request_SendBroadcastBuffer(Request* request) {
  const Request* shared = request->pBroadcastBuffer;
  if (shared == nullptr) {
    request->bSendCancelled = 1;
    QLOG(1, "ERROR Request_SendBroadcastBuffer(... no broadcast buffer, errorcode = %d\n", kMessageErrorCode);
    return kMessageErrorCode;
  }
  const int32_t code = message_issue_send("Request_SendBroadcastBuffer", shared->buffer, shared->nPosition,
                                          shared->nPackCode, request->nDestination, MESSAGE_TAG_REQUEST,
                                          &request->mpiRequest, &request->bSendCancelled);
  if (code != 0) return code;
  return message_wait_for_sends("Request_SendBroadcastBuffer", request->nDestination);
}

bool Request_IsSendPending(Request* request) {
  return message_is_send_pending("Request_IsSendPending", &request->mpiRequest, request->bSendCancelled,
                                 request->nDestination);
}
