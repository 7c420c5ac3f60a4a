#include "cluster/result.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "base/configuration.h"
#include "base/fatal.h"
#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "cluster/message_fields.h"

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

// Reads the tables that may follow a work item. Each is read in full into a
// scratch copy first, so that a damaged message never leaves the engine's
// tables half replaced.
void unpack_attached_history(Result* result, MessageUnpacker* unpacker) {
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  uint16_t history[HistorySize];
  uint16_t total[HistorySize];
  uint16_t hit[HistorySize];
  if (config->bTransmitHistoryTable)
    unpacker->UshortArray(&result->nHistoryTableCount, history, HistorySize, "gpHistory->History");
  if (config->bTransmitHistTotTable) {
    unpacker->UshortArray(&result->nHistTotTableCount, total, HistorySize, "gpHistory->HistTot");
    unpacker->UshortArray(&result->nHistHitTableCount, hit, HistorySize, "gpHistory->HistHit");
  }
  if (!unpacker->ok() || gpHistory == nullptr) return;
  if (config->bTransmitHistoryTable)
    std::memcpy(gpHistory->History, history, sizeof(uint16_t) * result->nHistoryTableCount);
  if (config->bTransmitHistTotTable) {
    std::memcpy(gpHistory->HistTot, total, sizeof(uint16_t) * result->nHistTotTableCount);
    std::memcpy(gpHistory->HistHit, hit, sizeof(uint16_t) * result->nHistHitTableCount);
  }
}

void log_work_item(const Result* result) {
  QLOG(5, "nSyncPositionId = <%d>\n", result->nSyncPositionId);
  QLOG(5, "nWorkId = <%12" PRId64 ">\n", result->nWorkId);
  QLOG(5, "nStackIndex = <%d>\n", result->nStackIndex);
  QLOG(5, "nMoveListIndex = <%d>\n", result->nMoveListIndex);
  QLOG(5, "nCallType = <%d>\n", result->nCallType);
  QLOG(5, "nReturnPosition = <%d>\n", result->nReturnPosition);
  QLOG(5, "nMove = <%d>\n", result->nMove);
  QLOG(5, "nDepth = <%d>\n", result->nDepth);
  QLOG(5, "nNewDepth = <%d>\n", result->nNewDepth);
  QLOG(5, "nHeight = <%d>\n", result->nHeight);
  QLOG(5, "bExtended = <%d>\n", result->bExtended);
  QLOG(5, "bInPV = <%d>\n", result->bInPV);
  QLOG(5, "nPlayedNb = <%d>\n", result->nPlayedNb);
  QLOG(5, "nHistoryValue = <%d>\n", result->nHistoryValue);
  QLOG(5, "nAlpha = <%d>\n", result->nAlpha);
  QLOG(5, "nBeta = <%d>\n", result->nBeta);
  QLOG(5, "nTransDate = <%d>\n", result->nTransDate);
  QLOG(5, "bGoodCap = <%d>\n", result->bGoodCap);
  QLOG(5, "nMoveAheadListCount = <%d>\n", result->nMoveAheadListCount);
  QLOG(5, "nKillerListCount = <%d>\n", result->nKillerListCount);
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  if (config->bTransmitHistoryTable) QLOG(5, "nHistoryTableSize = <%d>\n", result->nHistoryTableCount);
  if (config->bTransmitHistTotTable) {
    QLOG(5, "nHistTotTableSize = <%d>\n", result->nHistTotTableCount);
    QLOG(5, "nHistHitTableSize = <%d>\n", result->nHistHitTableCount);
  }
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
  result->nPackCode = kMessageErrorCode;  // nothing packed yet
  return result;
}

void Result_Destruct(Result* result) { std::free(result); }

int32_t Result_InitNonRootMasterLogon(Result* result) {
  return init_plain(result, RESULT_TYPE_NON_ROOT_MASTER_LOGON, "Result_InitNonRootMasterLogon");
}

int32_t Result_InitNonRootMasterLogoff(Result* result) {
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
                                       int32_t nNewDepth, int32_t nHeight, int32_t bInPV, int32_t nPlayedNb,
                                       int32_t nHistoryValue, int32_t nAlpha, int32_t nBeta, int32_t nTransDate,
                                       int32_t bGoodCap, int32_t nMoveAheadListCount, const uint16_t* pMoveAheadList,
                                       int32_t nKillerListCount, const uint16_t* pKillerList) {
  result->nType = RESULT_TYPE_MASTER_WORK_AVAILABLE;
  result->nWorkId = ++MessageContext_GetInstance()->nWorkIdCounter;
  result->nStackIndex = nStackIndex;
  result->nMoveListIndex = nMoveListIndex;
  result->nCallType = nCallType;
  result->nReturnPosition = nReturnPosition;
  result->nMove = nMove;
  result->nDepth = nDepth;
  result->nNewDepth = nNewDepth;
  result->nHeight = nHeight;
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
  return fill(result, "Result_InitMasterWorkAvailable");
}

int32_t Result_InitSyncAfterBroadcast(Result* result) {
  return init_plain(result, RESULT_TYPE_SYNC_AFTER_BROADCAST, "Result_InitSyncAfterBroadcast");
}

int32_t Result_FillParameterIntoBuffer(Result* result) {
  const YBWCManager* manager = YBWCManager_GetInstance();
  const PellamConfiguration* config = manager->pConfiguration;
  result->nPosition = 0;
  MessagePacker packer(kFill, result->buffer, &result->nPosition);
  packer.Int(result->nType, "pThis->nType");

  switch (result->nType) {
    case RESULT_TYPE_UNDEFINED:
    case RESULT_TYPE_NON_ROOT_MASTER_SHUTDOWN:
    case RESULT_TYPE_NON_ROOT_MASTER_SYNC_NEW_GAME:
    case RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION:
    case RESULT_TYPE_SYNC_AFTER_BROADCAST:
      break;
    case RESULT_TYPE_NON_ROOT_MASTER_LOGON: {
      char name[MPI_MAX_PROCESSOR_NAME + 1] = {};
      int32_t length = 0;
      packer.Fail(MPIWrapper_Get_processor_name(name, &length), "MPIWrapper_Get_processor_name");
      packer.Str(name, "sProcessorName");
      break;
    }
    case RESULT_TYPE_NON_ROOT_MASTER_LOGOFF:
      packer.Int64(manager->nTotalNodes, "nTotalNodes");
      break;
    case RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST:
      pack_search_result(&packer, result);
      break;
    case RESULT_TYPE_MASTER_NO_WORK_AVAILABLE:
      packer.Int(result->nSyncPositionId, "pThis->nSyncPositionId");
      break;
    case RESULT_TYPE_MASTER_WORK_AVAILABLE:
      packer.Int(manager->nSyncPositionId, "nSyncPositionId");
      packer.Int64(result->nWorkId, "pThis->nWorkId");
      packer.Int(result->nStackIndex, "pThis->nStackIndex");
      packer.Int(result->nMoveListIndex, "pThis->nMoveListIndex");
      packer.Int(result->nCallType, "pThis->nCallType");
      packer.Int(result->nReturnPosition, "pThis->nReturnPosition");
      packer.Int(result->nMove, "pThis->nMove");
      packer.Int(result->nDepth, "pThis->nDepth");
      packer.Int(result->nNewDepth, "pThis->nNewDepth");
      packer.Int(result->nHeight, "pThis->nHeight");
      packer.Bool(0, "pThis->bExtended");  // the initialiser takes no value for it
      packer.Bool(result->bInPV, "pThis->bInPV");
      packer.Int(result->nPlayedNb, "pThis->nPlayedNb");
      packer.Int(result->nHistoryValue, "pThis->nHistoryValue");
      packer.Int(result->nAlpha, "pThis->nAlpha");
      packer.Int(result->nBeta, "pThis->nBeta");
      packer.Int(result->nTransDate, "pThis->nTransDate");
      packer.Bool(result->bGoodCap, "pThis->bGoodCap");
      packer.UshortArray(result->nMoveAheadListCount, result->pMoveAheadList, "pThis->pMoveAheadList");
      packer.UshortArray(result->nKillerListCount, result->pKillerList, "pThis->pKillerList");
      if (config->bTransmitHistoryTable)
        packer.HistoryTable(gpHistory != nullptr ? gpHistory->History : nullptr, "gpHistory->History");
      if (config->bTransmitHistTotTable) {
        packer.HistoryTable(gpHistory != nullptr ? gpHistory->HistTot : nullptr, "gpHistory->HistTot");
        packer.HistoryTable(gpHistory != nullptr ? gpHistory->HistHit : nullptr, "gpHistory->HistHit");
      }
      break;
    default:
      packer.Fail(kMessageErrorCode, "switch(pThis->nType) (default)");
      break;
  }
  result->nPackCode = packer.code();
  return packer.code();
}

int32_t Result_GetParameterFromBuffer(Result* result) {
  result->nPosition = 0;
  MessageUnpacker unpacker(kGet, result->buffer, &result->nPosition);
  int32_t type = RESULT_TYPE_UNDEFINED;
  unpacker.Int(&type, "pThis->nType");
  if (!unpacker.ok()) return unpacker.code();
  if (type < 0 || type >= RESULT_TYPE_COUNT) {
    QLOG(1, "ERROR %s(... unknown type %d, errorcode = %d\n", kGet, type, kMessageErrorCode);
    return kMessageErrorCode;
  }
  result->nType = type;
  QLOG(6, "Result received from processor <%d>, Type = %d <%s>\n", result->nSource, type, result_type_name(type));

  switch (type) {
    case RESULT_TYPE_NON_ROOT_MASTER_LOGON:
      unpacker.Str(result->sProcessorName, sizeof result->sProcessorName, "pThis->sProcessorName");
      if (unpacker.ok()) QLOG(5, "Processor name is <%s>\n", result->sProcessorName);
      break;
    case RESULT_TYPE_NON_ROOT_MASTER_LOGOFF:
      unpacker.Int64(&result->nTotalNodes, "pThis->nTotalNodes");
      if (unpacker.ok()) QLOG(5, "nTotalNodes <%12" PRId64 ">\n", result->nTotalNodes);
      break;
    case RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST:
      unpack_search_result(&unpacker, result);
      if (unpacker.ok() && log_level_enabled(5)) log_search_result(result);
      break;
    case RESULT_TYPE_MASTER_NO_WORK_AVAILABLE:
      unpacker.Int(&result->nSyncPositionId, "pThis->nSyncPositionId");
      break;
    case RESULT_TYPE_MASTER_WORK_AVAILABLE:
      unpacker.Int(&result->nSyncPositionId, "pThis->nSyncPositionId");
      unpacker.Int64(&result->nWorkId, "pThis->nWorkId");
      unpacker.Int(&result->nStackIndex, "pThis->nStackIndex");
      unpacker.Int(&result->nMoveListIndex, "pThis->nMoveListIndex");
      unpacker.Int(&result->nCallType, "pThis->nCallType");
      unpacker.Int(&result->nReturnPosition, "pThis->nReturnPosition");
      unpacker.Int(&result->nMove, "pThis->nMove");
      unpacker.Int(&result->nDepth, "pThis->nDepth");
      unpacker.Int(&result->nNewDepth, "pThis->nNewDepth");
      unpacker.Int(&result->nHeight, "pThis->nHeight");
      unpacker.Bool(&result->bExtended, "pThis->bExtended");
      unpacker.Bool(&result->bInPV, "pThis->bInPV");
      unpacker.Int(&result->nPlayedNb, "pThis->nPlayedNb");
      unpacker.Int(&result->nHistoryValue, "pThis->nHistoryValue");
      unpacker.Int(&result->nAlpha, "pThis->nAlpha");
      unpacker.Int(&result->nBeta, "pThis->nBeta");
      unpacker.Int(&result->nTransDate, "pThis->nTransDate");
      unpacker.Bool(&result->bGoodCap, "pThis->bGoodCap");
      unpacker.UshortArray(&result->nMoveAheadListCount, result->MoveAheadList, kMoveAheadCapacity,
                           "pThis->MoveAheadList");
      unpacker.UshortArray(&result->nKillerListCount, result->KillerList, kKillerCapacity, "pThis->KillerList");
      unpack_attached_history(result, &unpacker);
      if (!unpacker.ok()) break;
      result->bNoMovePlayedYet = result->nPlayedNb < 1 ? 1 : 0;
      if (log_level_enabled(5)) log_work_item(result);
      break;
    default:
      break;  // the remaining types carry nothing after their type
  }
  return unpacker.code();
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
