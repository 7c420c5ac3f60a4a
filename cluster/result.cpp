#include "cluster/result.h"

#include <cstdlib>
#include <cstring>

#include "base/configuration.h"
#include "base/fatal.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "cluster/message_fields.h"
#include "cluster/message_layout.h"

namespace {

constexpr const char* kFill = "Result_FillParameterIntoBuffer";
constexpr const char* kGet = "Result_GetParameterFromBuffer";

int32_t fill(Result* result, const char* initialiser) {
  const int32_t code = Result_FillParameterIntoBuffer(result);
  if (code != 0)
    QLOG(1, "ERROR %s(... failed at Result_FillParameterIntoBuffer(..., errorcode = %d\n", initialiser, code);
  return code;
}

int32_t init_plain(Result* result, ResultType type, const char* initialiser) {
  result->nType = type;
  return fill(result, initialiser);
}

}  // namespace

Result* Result_Construct() {
  auto* result = static_cast<Result*>(my_malloc(sizeof(Result)));
  std::memset(result, 0, sizeof *result);
  result->nSource = -1;
  result->nDestination = -1;
  result->mpiRequest = MPI_REQUEST_NULL;
  result->nSyncPositionId = -2;
  result->nWorkId = -2;
  result->nStackIndex = -1;
  result->nMoveListIndex = -1;
  result->nMoveAheadListCount = -1;
  result->nKillerListCount = -1;
  result->nHistoryTableCount = -1;
  result->nHistTotTableCount = -1;
  result->nHistHitTableCount = -1;
  result->nReceivedLength = kPackBufferSize;
  result->nPackCode = kMessageErrorCode;  // nothing packed yet
  return result;
}

void Result_Destruct(Result* result) { std::free(result); }

int32_t Result_InitNonRootMasterLogon(Result* result) {
  return init_plain(result, RESULT_TYPE_NON_ROOT_MASTER_LOGON, "Result_InitNonRootMasterLogon");
}

int32_t Result_InitNonRootMasterLogoff(Result* result) {
  result->nTotalNodes = YBWCManager_GetInstance()->nTotalNodes;
  return init_plain(result, RESULT_TYPE_NON_ROOT_MASTER_LOGOFF, "Result_InitNonRootMasterLogoff");
}

int32_t Result_InitNonRootMasterShutdown(Result* result) {
  return init_plain(result, RESULT_TYPE_NON_ROOT_MASTER_SHUTDOWN, "Result_InitNonRootMasterShutdown");
}

int32_t Result_InitNonRootMasterRemoteTest(Result* result, int32_t nBestMove, int32_t nBestValue, int32_t nFlags,
                                           int32_t nDepth, int32_t nMaxDepth, int32_t nPVLength, const uint16_t* pPV,
                                           int32_t bPonderMoveOk, double dTime, double dSpeed, double dCPU,
                                           int64_t nNodes) {
  result->nType = RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST;
  result->nBestMove = nBestMove;
  result->nBestValue = nBestValue;
  result->nFlags = nFlags;
  result->nDepth = nDepth;
  result->nMaxDepth = nMaxDepth;
  result->nPVLength = nPVLength;
  result->pPV = pPV;
  result->bPonderMoveOk = bPonderMoveOk;
  result->dTime = dTime;
  result->dSpeed = dSpeed;
  result->dCPU = dCPU;
  result->nNodes = nNodes;
  return fill(result, "Result_InitNonRootMasterRemoteTest");
}

int32_t Result_InitNonRootMasterSyncNewGame(Result* result) {
  return init_plain(result, RESULT_TYPE_NON_ROOT_MASTER_SYNC_NEW_GAME, "Result_InitNonRootMasterSyncNewGame");
}

int32_t Result_InitNonRootMasterSyncSetOption(Result* result) {
  return init_plain(result, RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION, "Result_InitNonRootMasterSyncSetOption");
}

int32_t Result_InitMasterNoWorkAvailable(Result* result, int32_t nSyncPositionId) {
  result->nType = RESULT_TYPE_MASTER_NO_WORK_AVAILABLE;
  result->nSyncPositionId = nSyncPositionId;
  return fill(result, "Result_InitMasterNoWorkAvailable");
}

int32_t Result_InitMasterWorkAvailable(Result* result, int32_t nStackIndex, int32_t nMoveListIndex,
                                       int32_t nCallType, int32_t nReturnPosition, int32_t nMove, int32_t nDepth,
                                       int32_t nNewDepth, int32_t nHeight, int32_t bExtended, int32_t bInPV,
                                       int32_t nPlayedNb, int32_t nHistoryValue, int32_t nAlpha, int32_t nBeta,
                                       int32_t nTransDate,
                                       int32_t bGoodCap, int32_t nMoveAheadListCount, const uint16_t* pMoveAheadList,
                                       int32_t nKillerListCount, const uint16_t* pKillerList) {
  result->nType = RESULT_TYPE_MASTER_WORK_AVAILABLE;
  result->nSyncPositionId = YBWCManager_GetInstance()->nSyncPositionId;
  result->nWorkId = ++MessageContext_GetInstance()->nWorkIdCounter;
  result->nStackIndex = nStackIndex;
  result->nMoveListIndex = nMoveListIndex;
  result->nCallType = nCallType;
  result->nReturnPosition = nReturnPosition;
  result->nMove = nMove;
  result->nDepth = nDepth;
  result->nNewDepth = nNewDepth;
  result->nHeight = nHeight;
  result->bExtended = bExtended;
  result->bInPV = bInPV;
  result->nPlayedNb = nPlayedNb;
  result->nHistoryValue = nHistoryValue;
  result->nAlpha = nAlpha;
  result->nBeta = nBeta;
  result->nTransDate = nTransDate;
  result->bGoodCap = bGoodCap;
  result->nMoveAheadListCount = nMoveAheadListCount;
  result->pMoveAheadList = pMoveAheadList;
  result->nKillerListCount = nKillerListCount;
  result->pKillerList = pKillerList;
  // Sent only when the configuration attaches them (a missing block fails).
  result->nHistoryTableCount = HistorySize;
  result->nHistTotTableCount = HistorySize;
  result->nHistHitTableCount = HistorySize;
  result->pHistoryTable = gpHistory != nullptr ? gpHistory->History : nullptr;
  result->pHistTotTable = gpHistory != nullptr ? gpHistory->HistTot : nullptr;
  result->pHistHitTable = gpHistory != nullptr ? gpHistory->HistHit : nullptr;
  return fill(result, "Result_InitMasterWorkAvailable");
}

int32_t Result_InitSyncAfterBroadcast(Result* result) {
  return init_plain(result, RESULT_TYPE_SYNC_AFTER_BROADCAST, "Result_InitSyncAfterBroadcast");
}

int32_t Result_FillParameterIntoBuffer(Result* result) {
  result->nPosition = 0;
  MessagePacker packer(kFill, result->buffer, &result->nPosition);
  packer.Int(result->nType, "pThis->nType");
  if (result->nType < 0 || result->nType >= RESULT_TYPE_COUNT) {
    packer.Fail(kMessageErrorCode, "switch(pThis->nType) (default)");
  } else if (packer.ok()) {
    if (result->nType == RESULT_TYPE_NON_ROOT_MASTER_LOGON) {
      // The name is read while packing, as the host reports it now.
      int32_t length = 0;
      packer.Fail(MPIWrapper_Get_processor_name(result->sProcessorName, &length), "MPIWrapper_Get_processor_name");
    }
    if (packer.ok())
      packer.Adopt(layout_pack(result_layout(result->nType), result, result->buffer, &result->nPosition, kFill));
  }
  result->nPackCode = packer.code();
  return packer.code();
}

int32_t Result_GetParameterFromBuffer(Result* result) {
  result->nPosition = 0;
  MessageUnpacker unpacker(kGet, result->buffer, &result->nPosition);
  int32_t type = RESULT_TYPE_UNDEFINED;
  unpacker.Int(&type, "pThis->nType");
  if (unpacker.ok() && result->nPosition > result->nReceivedLength) {
    QLOG(1, "ERROR %s(... %d bytes received, no type, errorcode = %d\n", kGet, result->nReceivedLength,
         MPI_ERR_TRUNCATE);
    return MPI_ERR_TRUNCATE;
  }
  if (!unpacker.ok()) return unpacker.code();
  // A type this process does not know is kept alone; the dispatcher refuses it.
  result->nType = type;
  QLOG(6, "Result received from processor <%d>, Type = %d <%s>\n", result->nSource, type, result_type_name(type));
  const int32_t code =
      layout_unpack(result_layout(type), result, result->buffer, &result->nPosition, result->nReceivedLength, kGet);
  if (code == 0 && type == RESULT_TYPE_MASTER_WORK_AVAILABLE) result->bNoMovePlayedYet = result->nPlayedNb < 1 ? 1 : 0;
  return code;
}

const char* Result_GetTypeName(Result* result) {
  std::strncpy(result->sTypeName, result_type_name(result->nType), kTypeNameMaxLength);
  result->sTypeName[kTypeNameMaxLength] = '\0';
  return result->sTypeName;
}

int32_t Result_Send(Result* result) {
  const int32_t code = message_issue_send("Result_Send", result->buffer, result->nPosition, result->nPackCode,
                                          result->nDestination, MESSAGE_TAG_RESULT, &result->mpiRequest,
                                          &result->bSendCancelled);
  if (code != 0) return code;
  return message_wait_for_sends("Result_Send", result->nDestination);
}

bool Result_IsSendPending(Result* result) {
  return message_is_send_pending("Result_IsSendPending", &result->mpiRequest, result->bSendCancelled,
                                 result->nDestination);
}
