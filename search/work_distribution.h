#pragma once
// The master's side of the distributed search: handing out moves of the
// stack to slaves that ask for work, and taking in their results.
#include <cstdint>

struct YBWCManager;
struct Request;

// Answers a slave's request for work: a move of the stack whose younger
// brothers may be handed out, or "no work available".
int32_t YBWCManager_CheckSendWorkToSlave(YBWCManager* manager, int32_t slave, int32_t nSyncPositionId);
// Merges a slave's result into the stack entry that waits for it.
int32_t YBWCManager_ProcessSlaveResult(YBWCManager* manager, Request* request);
// A slave's nodes count as nodes of the current search.
void YBWCManager_CountSlaveNodes(int64_t nodes);
