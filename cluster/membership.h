#pragma once
// The root master's control of the other ranks: logon, host layout, the
// hooks that forward the GUI's commands, log-off and shutdown; and what a
// non root master does when those requests arrive. Every operation returns 0
// or an error code.
#include <cstdint>

#include "cluster/message_service.h"

struct YBWCManager;
struct Request;
struct Result;

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

// Sends SYNC_AFTER_BROADCAST to every other rank and services messages until
// all have answered: every table broadcast sent before has then arrived.
int32_t YBWCManager_WaitForSyncAfterBroadcast(YBWCManager* manager);

// ---- A non root master's side of the requests above -------------------------------------

// Log-off: idle, synchronised after the broadcasts, logged off, detached from
// the shared segments, answered with the node count.
int32_t YBWCManager_ActionsForLogoffInvitation(YBWCManager* manager, const Request* request);
void YBWCManager_DetachSharedSegments(YBWCManager* manager);
void YBWCManager_SetUpSyncPosition(YBWCManager* manager, const char* position_command);
void YBWCManager_PrepareSupportSearch(YBWCManager* manager);
void YBWCManager_StopRemoteTestSearch(YBWCManager* manager);
void YBWCManager_NewGameActions(YBWCManager* manager);
void YBWCManager_ApplyForwardedOption(YBWCManager* manager, const char* name, const char* value);
int32_t YBWCManager_StartRemoteTest(YBWCManager* manager, const Request* request);
void YBWCManager_ActionsForMachineInfo(YBWCManager* manager);
// Root master: the result of a remote test.
int32_t YBWCManager_ActionsForRemoteTestResult(YBWCManager* manager, const Result* result);
