#pragma once
// The root master's control of the other ranks: logon, host layout, the
// hooks that forward the GUI's commands, log-off and shutdown. Every
// operation returns 0 or an error code.
#include <cstdint>

struct YBWCManager;

int32_t YBWCManager_WaitForNonRootMasterStartedUp(YBWCManager* manager);
void YBWCManager_AnalyzeHostTopology(YBWCManager* manager);
int32_t YBWCManager_SendMachineInfo(YBWCManager* manager);
int32_t YBWCManager_WaitForNonRootMasterLoggedOff(YBWCManager* manager);
int32_t YBWCManager_WaitForNonRootMasterShutdown(YBWCManager* manager);

int32_t YBWCManager_HookPosition(YBWCManager* manager, const char* position_line);
int32_t YBWCManager_HookGo(YBWCManager* manager);
int32_t YBWCManager_HookStop(YBWCManager* manager);
int32_t YBWCManager_HookNewGame(YBWCManager* manager);
int32_t YBWCManager_HookSetOption(YBWCManager* manager, const char* name, const char* value);
int32_t YBWCManager_HookRemoteTest(YBWCManager* manager, int32_t processor_id, const char* go_parameters);
int32_t YBWCManager_HookSearchTerminated(YBWCManager* manager);

// "Hash" changed in a running engine: every process of a host re-creates
// its transposition table with the new size.
int32_t YBWCManager_ChangeHashSize(YBWCManager* manager);

// Receives and dispatches every waiting message (main loops, waits, search).
int32_t YBWCManager_ServiceMessages(YBWCManager* manager);
// A supporting process asks a peer for work while the job searches.
int32_t YBWCManager_CheckSendRequestForWork(YBWCManager* manager);
