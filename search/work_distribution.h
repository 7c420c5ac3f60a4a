#pragma once
// The master's side of the distributed search: handing out moves of the
// stack to slaves that ask for work (Young Brothers Wait Concept), and taking
// in their results. Every process that searches is a master for the nodes of
// its own stack, a slave searching a work item included.
#include <cstdint>

struct YBWCManager;
struct Request;

// The work-item fields that come from the giving entry (the rest come from
// the manager, the stack and the tables when the item is sent).
struct WorkItemFields {
  int nCallType;        // CALL_TYPE_FULL_ROOT or CALL_TYPE_FULL_SEARCH
  int nReturnPosition;  // of the giving entry
  int nMove;
  int nDepth;  // of the giving entry
  int nHeight;  // HeightOffset + the entry's height
  bool bInPV;
  bool bExtended;  // the move into the giving node already had a capture extension
  int nPlayedNb;
  int nHistoryValue;
  int nAlpha;
  int nBeta;
  bool bGoodCap;
};

// Answers a slave's request for work: a move of the stack whose elder
// brothers have been searched, or "no work available". Sends exactly one
// answer unless a work item went out (or its sending failed, see below).
int32_t YBWCManager_CheckSendWorkToSlave(YBWCManager* manager, int32_t slave, int32_t nSyncPositionId);

// Scans the stack in the configured order (and in two steps with "Use Multi
// Step Stack Search For Work") and hands out the first eligible move. True
// when it handed one out or tried to (a failed send has been undone in the
// entry and needs no other answer).
bool Stack_HasSendWorkToSlave(int32_t slave, int32_t nSyncPositionId);

// Marks move j of entry `index` as held by the slave and sends the work
// item. On failure the move goes back to the entry's own loop. Returns the
// first error code.
int32_t Stack_SendWorkToSLave(int32_t slave, int32_t nSyncPositionId, int index, int j, const WorkItemFields& fields);

// Merges a slave's result into the stack entry that handed the move out,
// after checking that it belongs to the current position, entry and work
// item; a result that does not is refused before anything is written.
int32_t YBWCManager_ProcessSlaveResult(YBWCManager* manager, Request* request);
// A slave's nodes count as nodes of the current search.
void YBWCManager_CountSlaveNodes(int64_t nodes);
