#pragma once
// Request messages: what one process asks another to do. A record owns its
// 8192-byte pack buffer; an initialiser sets the type and fields and packs
// them at once, the receiver unpacks them after the buffer has arrived.
// Unpacking fills the record and nothing else: what a message does happens
// when it is dispatched.
#include <mpi.h>

#include <cstdint>

#include "chess/history.h"
#include "cluster/message_types.h"
#include "cluster/mpi_wrapper.h"

struct Request {
  Request* pNext;             // link in a send queue or the delayed-dispatch list
  Request* pBroadcastBuffer;  // types 17, 19, 21: the shared record whose buffer is sent
  int32_t nReferenceCount;    // shared record: per-peer records pointing to it
  int32_t bBroadcastInProgress;
  int32_t nSource;
  int32_t nDestination;
  char buffer[kPackBufferSize];
  int32_t nReceivedLength;  // bytes that arrived (the whole buffer until a receive says less)
  MPI_Request mpiRequest;
  int32_t nPosition;
  int32_t bSendCancelled;
  int32_t bParametersUnread;
  int32_t bBufferedForDelayedDispatch;
  int32_t nType;
  char sTypeName[kTypeNameMaxLength + 1];
  char* psSyncPosition;
  int32_t nSyncPositionId;
  char* psOptionName;
  char* psOptionValue;
  char* psGoCommands;
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
  uint64_t nTransUsed;
  int64_t nWorkId;
  int32_t nStackIndex;
  int32_t nMoveListIndex;
  int32_t nAlpha;
  int32_t nBeta;
  int32_t nHistoryTableCount;
  uint16_t HistoryTable[HistorySize];
  const uint16_t* pHistoryTable;  // sending side of the three tables (not owned)
  int32_t nHistTotTableCount;
  uint16_t HistTotTable[HistorySize];
  const uint16_t* pHistTotTable;
  int32_t nHistHitTableCount;
  uint16_t HistHitTable[HistorySize];
  const uint16_t* pHistHitTable;
  HashTableBuffer* pHashTableBuffer;
  // Type 17: the entries of a received chunk (type 18: the count packed).
  int32_t nHashTableEntryCount;
  HashTableEntry HashTableEntries[kHashTableChunkMaxSize];
  // Type 11: the host name of every rank, in rank order (owned).
  int32_t nProcessorNameCount;
  char* psProcessorNames;  // nProcessorNameCount names of kProcessorNameSize bytes
  // Code of the last packing (0 = the buffer holds a whole message); a
  // record whose packing failed is never sent.
  int32_t nPackCode;
};

Request* Request_Construct();
// Frees the owned strings and the record; releases a shared broadcast record
// when the last per-peer record pointing to it goes.
void Request_Destruct(Request* request);
// The name of `rank` in a machine-information record.
const char* Request_GetProcessorName(const Request* request, int32_t rank);

// Initialisers: set the type and fields, then pack. Return the packing's code.
int32_t Request_InitRootMasterLogonInvitation(Request* request);
int32_t Request_InitRootMasterLogoffInvitation(Request* request);
int32_t Request_InitRootMasterShutdown(Request* request);
int32_t Request_InitRootMasterIdleInvitation(Request* request);
// Carries the manager's nSyncPositionId. A command longer than the message's
// 8000 characters is refused (15) rather than sent cut off.
int32_t Request_InitRootMasterSyncPosition(Request* request, const char* position_command);
int32_t Request_InitRootMasterSupportSearch(Request* request);
int32_t Request_InitRootMasterStopRemoteSearch(Request* request);
int32_t Request_InitRootMasterNewGame(Request* request);
int32_t Request_InitRootMasterSetOption(Request* request, const char* option_name, const char* option_value);
int32_t Request_InitRootMasterRemoteTest(Request* request, const char* go_commands);
// Takes the names held in the manager's processor handlers.
int32_t Request_InitRootMasterMachineInfo(Request* request);
int32_t Request_InitNonRootMasterSyncAfterBroadcast(Request* request);
int32_t Request_InitSlaveTryToGetWork(Request* request, int32_t nSyncPositionId);
int32_t Request_InitMasterStop(Request* request, int64_t nWorkId);
// Carries the manager's nSyncPositionId.
int32_t Request_InitSlaveProcessSearchResult(Request* request, int64_t nWorkId, int32_t nStackIndex,
                                             int32_t nMoveListIndex, int32_t nBestMove, int32_t nBestValue,
                                             int32_t nFlags, int32_t nDepth, int32_t nMaxDepth, int32_t nPVLength,
                                             const uint16_t* pPV, int32_t bPonderMoveOk, double dTime,
                                             double dSpeed, double dCPU, int64_t nNodes, uint64_t nTransUsed);
int32_t Request_InitMasterUpdateSearchWindow(Request* request, int64_t nWorkId, int32_t nAlpha, int32_t nBeta);
int32_t Request_InitHashTableReplication(Request* request, HashTableBuffer* pHashTableBuffer);
int32_t Request_InitHashTableBroadcastBuffer(Request* request, HashTableBuffer* pHashTableBuffer);
int32_t Request_InitHistoryTableReplication(Request* request, Request* pBroadcastBuffer);
// Both carry the manager's nSyncPositionId and the context's increments.
int32_t Request_InitHistoryTableBroadcastBuffer(Request* request);
int32_t Request_InitHistTotTableReplication(Request* request, Request* pBroadcastBuffer);
int32_t Request_InitHistTotTableBroadcastBuffer(Request* request);

// Packs the record's type and fields in wire order from position 0, every
// field from the record itself.
int32_t Request_FillParameterIntoBuffer(Request* request);
// Unpacks type and fields from position 0 into the record and nothing else.
// A type this process does not know is read alone (no fields). A count
// beyond its array, a text beyond its field, an index outside its table or
// fields beyond the bytes received are refused.
int32_t Request_GetParameterFromBuffer(Request* request);

const char* Request_GetTypeName(Request* request);

// Issues the non-blocking send of the packed buffer to nDestination (tag 1),
// keeping the handle in mpiRequest, then waits on the destination's handler
// until its queues have drained. A record whose packing failed (or that was
// never packed) or whose send could not be issued is not sent: it is marked
// bSendCancelled, so that its queue drops it instead of waiting for it, and
// the failing code is returned.
int32_t Request_Send(Request* request);
// Per-peer record of type 17, 19 or 21: sends the shared record's buffer.
int32_t Request_SendBroadcastBuffer(Request* request);
// Completion test of the send queues: false for a cancelled or completed
// send (or a failed test), true for a send not issued or not completed.
bool Request_IsSendPending(Request* request);
