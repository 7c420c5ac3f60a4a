#include "cluster/request.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "cluster/message_fields.h"
#include "cluster/message_layout.h"
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

bool is_per_peer_replication(int32_t type) {
  return type == REQUEST_TYPE_HASH_TABLE_REPLICATION || type == REQUEST_TYPE_HISTORY_TABLE_REPLICATION ||
         type == REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION;
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
  request->nReceivedLength = kPackBufferSize;
  request->nPackCode = kMessageErrorCode;  // nothing packed yet
  return request;
}

void Request_Destruct(Request* request) {
  if (request == nullptr) return;
  std::free(request->psSyncPosition);
  std::free(request->psOptionName);
  std::free(request->psOptionValue);
  std::free(request->psGoCommands);
  std::free(request->psProcessorNames);
  Request* shared = request->pBroadcastBuffer;
  if (shared != nullptr && --shared->nReferenceCount <= 0) {
    if (shared->bBroadcastInProgress)
      QLOG(5, "INFO buffer destruction prevented\n");
    else
      Request_Destruct(shared);
  }
  std::free(request);
}

const char* Request_GetProcessorName(const Request* request, int32_t rank) {
  if (request->psProcessorNames == nullptr || rank < 0 || rank >= request->nProcessorNameCount) return "";
  return request->psProcessorNames + static_cast<size_t>(rank) * kProcessorNameSize;
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
  request->nSyncPositionId = YBWCManager_GetInstance()->nSyncPositionId;
  // Peers that set up a cut-off command under this position id would search
  // another position than the root master: such a command is not sent.
  const size_t length = position_command != nullptr ? std::strlen(position_command) : 0;
  if (length > static_cast<size_t>(kSyncPositionMaxLength)) {
    std::free(request->psSyncPosition);
    request->psSyncPosition = nullptr;
    request->nPosition = 0;
    request->nPackCode = kMessageErrorCode;
    QLOG(1, "ERROR Request_InitRootMasterSyncPosition(... position command of %zu characters exceeds %d, errorcode = %d\n",
         length, kSyncPositionMaxLength, kMessageErrorCode);
    return kMessageErrorCode;
  }
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
  const YBWCManager* manager = YBWCManager_GetInstance();
  int32_t count = manager->nSize;
  if (count < 0) count = 0;
  if (count > kMaxProcessors) count = kMaxProcessors;
  std::free(request->psProcessorNames);
  request->psProcessorNames = static_cast<char*>(my_malloc(static_cast<size_t>(count) * kProcessorNameSize + 1));
  request->nProcessorNameCount = count;
  for (int32_t rank = 0; rank < count; rank++) {
    const ProcessorHandler* handler = manager->pProcessorHandlers[rank];
    std::snprintf(request->psProcessorNames + static_cast<size_t>(rank) * kProcessorNameSize, kProcessorNameSize,
                  "%s", handler != nullptr ? handler->sProcessorName : "");
  }
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
  request->nSyncPositionId = YBWCManager_GetInstance()->nSyncPositionId;
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
  if (pHashTableBuffer != nullptr) request->nHashTableEntryCount = pHashTableBuffer->nChunkSizeForFlush;
  return fill(request, "Request_InitHashTableBroadcastBuffer");
}

int32_t Request_InitHistoryTableReplication(Request* request, Request* pBroadcastBuffer) {
  request->nType = REQUEST_TYPE_HISTORY_TABLE_REPLICATION;
  reference_broadcast_buffer(request, pBroadcastBuffer);
  return fill(request, "Request_InitHistoryTableReplication");
}

int32_t Request_InitHistoryTableBroadcastBuffer(Request* request) {
  request->nSyncPositionId = YBWCManager_GetInstance()->nSyncPositionId;
  request->nHistoryTableCount = HistorySize;
  request->pHistoryTable = MessageContext_GetInstance()->pHistoryTableBuffer;
  return init_plain(request, REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER, "Request_InitHistoryTableBroadcastBuffer");
}

int32_t Request_InitHistTotTableReplication(Request* request, Request* pBroadcastBuffer) {
  request->nType = REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION;
  reference_broadcast_buffer(request, pBroadcastBuffer);
  return fill(request, "Request_InitHistTotTableReplication");
}

int32_t Request_InitHistTotTableBroadcastBuffer(Request* request) {
  const MessageContext* context = MessageContext_GetInstance();
  request->nSyncPositionId = YBWCManager_GetInstance()->nSyncPositionId;
  request->nHistTotTableCount = HistorySize;
  request->pHistTotTable = context->pHistTotTableBuffer;
  request->nHistHitTableCount = HistorySize;
  request->pHistHitTable = context->pHistHitTableBuffer;
  return init_plain(request, REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER, "Request_InitHistTotTableBroadcastBuffer");
}

int32_t Request_FillParameterIntoBuffer(Request* request) {
  const int32_t type = request->nType;
  const int32_t wire = wire_type(type);
  request->nPosition = 0;
  MessagePacker packer(kFill, request->buffer, &request->nPosition);
  packer.Int(wire, "pThis->nType");
  if (type < 0 || type >= REQUEST_TYPE_COUNT) {
    packer.Fail(kMessageErrorCode, "switch(pThis->nType) (default)");
  } else if (is_per_peer_replication(type)) {
    // A per-peer record sends its shared record's buffer: its own buffer
    // carries the type alone and is never sent.
    if (request->pBroadcastBuffer == nullptr) packer.Fail(kMessageErrorCode, "pThis->pBroadcastBuffer");
  } else if (type == REQUEST_TYPE_HASH_TABLE_BROADCAST_BUFFER && request->pHashTableBuffer == nullptr) {
    packer.Fail(kMessageErrorCode, "pThis->pHashTableBuffer");
  } else if (packer.ok()) {
    packer.Adopt(layout_pack(request_layout(wire), request, request->buffer, &request->nPosition, kFill));
  }
  request->nPackCode = packer.code();
  return packer.code();
}

int32_t Request_GetParameterFromBuffer(Request* request) {
  request->nPosition = 0;
  MessageUnpacker unpacker(kGet, request->buffer, &request->nPosition);
  int32_t type = REQUEST_TYPE_UNDEFINED;
  unpacker.Int(&type, "pThis->nType");
  if (unpacker.ok() && request->nPosition > request->nReceivedLength) {
    QLOG(1, "ERROR %s(... %d bytes received, no type, errorcode = %d\n", kGet, request->nReceivedLength,
         MPI_ERR_TRUNCATE);
    return MPI_ERR_TRUNCATE;
  }
  if (!unpacker.ok()) return unpacker.code();
  // Nothing this process knows follows a type it does not know: the record
  // keeps the type alone, and the dispatcher refuses it.
  request->nType = type;
  QLOG(type == REQUEST_TYPE_HASH_TABLE_REPLICATION ? 999 : 6, "Request received from processor <%d>, Type = %d <%s>\n",
       request->nSource, type, request_type_name(type));
  return layout_unpack(request_layout(type), request, request->buffer, &request->nPosition, request->nReceivedLength,
                       kGet);
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
