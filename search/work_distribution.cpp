#include "search/work_distribution.h"

#include "cluster/message_send.h"
#include "search/search_records.h"

// Will scan the stack for a move that may be handed out and send it as a work item; until then every slave is
// answered "no work available", so that it goes on asking instead of waiting.
int32_t YBWCManager_CheckSendWorkToSlave(YBWCManager*, int32_t slave, int32_t nSyncPositionId) {
  return send_result(slave, "YBWCManager_CheckSendWorkToSlave", "Result_InitMasterNoWorkAvailable",
                     [nSyncPositionId](Result* result) { return Result_InitMasterNoWorkAvailable(result, nSyncPositionId); });
}

// Will take the value, move and principal variation into the waiting entry and stop or narrow the other slaves.
int32_t YBWCManager_ProcessSlaveResult(YBWCManager*, Request*) { return 0; }

void YBWCManager_CountSlaveNodes(int64_t nodes) { SearchCurrent->node_nb += nodes; }
