#pragma once
// Result messages: answers to requests, and the work items a master hands
// out. A record owns its 8192-byte pack buffer; an initialiser sets the type
// and fields and packs them at once. Unpacking fills the record and nothing
// else.
#include <mpi.h>

#include <cstdint>

#include "chess/history.h"
#include "cluster/message_types.h"
#include "cluster/mpi_wrapper.h"

struct Result {
  Result* pNext;  // link in a send queue
  int32_t nSource;
  int32_t nDestination;
  char buffer[kPackBufferSize];
  int32_t nReceivedLength;  // bytes that arrived (the whole buffer until a receive says less)
  MPI_Request mpiRequest;
  int32_t nPosition;
  int32_t bSendCancelled;
  int32_t nType;
  char sTypeName[kTypeNameMaxLength + 1];
  char sProcessorName[MPI_MAX_PROCESSOR_NAME + 1];
  int32_t nBestMove;
  int32_t nBestValue;
  int32_t nFlags;
  int32_t nDepth;
  int32_t nMaxDepth;
  int32_t nPVLength;
  uint16_t PV[kPVCapacity];
  const uint16_t* pPV;
  int32_t bPonderMoveOk;
  double dTime;
  double dSpeed;
  double dCPU;
  int64_t nNodes;
  int32_t nSyncPositionId;
  int64_t nWorkId;
  int32_t nStackIndex;
  int32_t nMoveListIndex;
  int32_t nCallType;
  int32_t nReturnPosition;
  int32_t nMove;
  int32_t nNewDepth;
  int32_t nHeight;
  int32_t bExtended;
  int32_t bInPV;
  int32_t nPlayedNb;
  int32_t bNoMovePlayedYet;  // receiving side: nPlayedNb < 1; never packed
  int32_t nHistoryValue;
  int32_t nAlpha;
  int32_t nBeta;
  int32_t nTransDate;
  int32_t bGoodCap;
  int32_t nMoveAheadListCount;
  uint16_t MoveAheadList[kMoveAheadCapacity];
  const uint16_t* pMoveAheadList;
  int32_t nKillerListCount;
  uint16_t KillerList[kKillerCapacity];
  const uint16_t* pKillerList;
  int64_t nTotalNodes;
  // Type 8, when the configuration attaches them: the sender's history
  // tables (sending side: pointers into its block, not owned).
  int32_t nHistoryTableCount;
  uint16_t HistoryTable[HistorySize];
  const uint16_t* pHistoryTable;
  int32_t nHistTotTableCount;
  uint16_t HistTotTable[HistorySize];
  const uint16_t* pHistTotTable;
  int32_t nHistHitTableCount;
  uint16_t HistHitTable[HistorySize];
  const uint16_t* pHistHitTable;
  // Code of the last packing (0 = the buffer holds a whole message); a
  // record whose packing failed is never sent.
  int32_t nPackCode;
};

Result* Result_Construct();
void Result_Destruct(Result* result);

// Initialisers: set the type and fields, then pack. Return the packing's code.
int32_t Result_InitNonRootMasterLogon(Result* result);
// Carries the manager's nTotalNodes.
int32_t Result_InitNonRootMasterLogoff(Result* result);
int32_t Result_InitNonRootMasterShutdown(Result* result);
int32_t Result_InitNonRootMasterRemoteTest(Result* result, int32_t nBestMove, int32_t nBestValue, int32_t nFlags,
                                           int32_t nDepth, int32_t nMaxDepth, int32_t nPVLength, const uint16_t* pPV,
                                           int32_t bPonderMoveOk, double dTime, double dSpeed, double dCPU,
                                           int64_t nNodes);
int32_t Result_InitNonRootMasterSyncNewGame(Result* result);
int32_t Result_InitNonRootMasterSyncSetOption(Result* result);
int32_t Result_InitMasterNoWorkAvailable(Result* result, int32_t nSyncPositionId);
// Takes the next work id (1 for the first work item of the process) and the
// manager's nSyncPositionId; attaches the engine's history tables as the
// configuration says. bExtended: the move into the giving node already had a
// capture extension, so the slave must not extend the same line again.
int32_t Result_InitMasterWorkAvailable(Result* result, int32_t nStackIndex, int32_t nMoveListIndex,
                                       int32_t nCallType, int32_t nReturnPosition, int32_t nMove, int32_t nDepth,
                                       int32_t nNewDepth, int32_t nHeight, int32_t bExtended, int32_t bInPV,
                                       int32_t nPlayedNb, int32_t nHistoryValue, int32_t nAlpha, int32_t nBeta,
                                       int32_t nTransDate,
                                       int32_t bGoodCap, int32_t nMoveAheadListCount, const uint16_t* pMoveAheadList,
                                       int32_t nKillerListCount, const uint16_t* pKillerList);
int32_t Result_InitSyncAfterBroadcast(Result* result);

int32_t Result_FillParameterIntoBuffer(Result* result);
// Unpacks type and fields from position 0 into the record and nothing else.
// A type this process does not know is read alone (no fields); a count
// beyond its array, a text beyond its field, an index outside its table or
// fields beyond the bytes received are refused.
int32_t Result_GetParameterFromBuffer(Result* result);

const char* Result_GetTypeName(Result* result);

// As Request_Send, with tag 2.
int32_t Result_Send(Result* result);
bool Result_IsSendPending(Result* result);
