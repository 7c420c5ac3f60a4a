#include "cluster/membership.h"

#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/trans.h"

// The job runs as a single process until the message protocol is in place:
// the process refuses a larger job at start-up, so every peer loop below is
// over an empty set of ranks and every wait is already satisfied.

int32_t YBWCManager_WaitForNonRootMasterStartedUp(YBWCManager* manager) {
  if (manager->nSize > 1) return 15;
  manager->bNonRootMastersStartedUp = 1;
  return 0;
}

void YBWCManager_AnalyzeHostTopology(YBWCManager*) {}

int32_t YBWCManager_SendMachineInfo(YBWCManager* manager) { return manager->nSize > 1 ? 15 : 0; }

int32_t YBWCManager_WaitForNonRootMasterLoggedOff(YBWCManager* manager) { return manager->nSize > 1 ? 15 : 0; }

int32_t YBWCManager_WaitForNonRootMasterShutdown(YBWCManager* manager) { return manager->nSize > 1 ? 15 : 0; }

int32_t YBWCManager_HookPosition(YBWCManager* manager, const char*) {
  ++manager->nSyncPositionId;
  return 0;
}

int32_t YBWCManager_HookGo(YBWCManager*) { return 0; }

int32_t YBWCManager_HookStop(YBWCManager*) { return 0; }

int32_t YBWCManager_HookNewGame(YBWCManager*) { return 0; }

int32_t YBWCManager_HookSetOption(YBWCManager*, const char*, const char*) { return 0; }

int32_t YBWCManager_HookRemoteTest(YBWCManager*, int32_t, const char*) { return 15; }

int32_t YBWCManager_HookSearchTerminated(YBWCManager*) { return 0; }

int32_t YBWCManager_ServiceMessages(YBWCManager*) { return 0; }

int32_t YBWCManager_CheckSendRequestForWork(YBWCManager*) { return 0; }

int32_t YBWCManager_ChangeHashSize(YBWCManager* manager) {
  // Alone on its host, the process simply rebuilds its own table.
  trans_release(Trans);
  trans_alloc(Trans, option_get_hash_megabytes(), manager->nRank, manager->bRootMaster != 0);
  return 0;
}
