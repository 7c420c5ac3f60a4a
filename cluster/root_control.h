#pragma once
// The root master forwards what it learns from the GUI: positions, the start
// and end of its searches, new games, options (with the three-step change of
// the hash size), remote tests and their stop. Each hook returns 0 or the
// first error code; a job of one process sends nothing. Beside each hook, what
// a non root master does when its request arrives.
#include <cstdint>

struct YBWCManager;
struct Request;
struct Result;

// Pseudo-options of the hash-size change.
inline constexpr const char kHashStep1Detach[] = "HASH_STEP_1_DETACH";
inline constexpr const char kHashStep2Delete[] = "HASH_STEP_2_DELETE";
inline constexpr const char kHashStep3Init[] = "HASH_STEP_3_INIT";

// Numbers the position (also in a job of one process) and sends its command.
int32_t YBWCManager_HookPosition(YBWCManager* manager, const char* position_line);
int32_t YBWCManager_HookGo(YBWCManager* manager);
// Sends the idle invitation: the supporting ranks stop asking for work.
int32_t YBWCManager_HookSearchTerminated(YBWCManager* manager);
// Stops the running remote test; nothing otherwise.
int32_t YBWCManager_HookStop(YBWCManager* manager);
// Waits until every rank has confirmed.
int32_t YBWCManager_HookNewGame(YBWCManager* manager);
int32_t YBWCManager_HookSetOption(YBWCManager* manager, const char* name, const char* value);
// Records the rank and sends it the go parameters; the result arrives later.
int32_t YBWCManager_HookRemoteTest(YBWCManager* manager, int32_t processor_id, const char* go_parameters);

// "Hash" changed in a running engine (4 MB or more): every rank gives up its
// transposition table and its shared segment, step by step, before any of
// them allocates the table of the new size.
int32_t YBWCManager_ChangeHashSize(YBWCManager* manager);

// ---- A non root master's side --------------------------------------------------------------

void YBWCManager_SetUpSyncPosition(YBWCManager* manager, const char* position_command);
// The job searches: statistics cleared, the table's ages recomputed.
void YBWCManager_PrepareSupportSearch(YBWCManager* manager);
void YBWCManager_StopRemoteTestSearch(YBWCManager* manager);
void YBWCManager_NewGameActions(YBWCManager* manager);
// The hash-size steps, or the option applied as the root master applied it.
void YBWCManager_ApplyForwardedOption(YBWCManager* manager, const char* name, const char* value);
// Searches the go parameters as a root search of its own and answers with
// its result. A node that cannot take the test (a search running, a best
// move held back) answers at once with an empty result.
int32_t YBWCManager_StartRemoteTest(YBWCManager* manager, const Request* request);
// Root master: the remote test's result is reported as its own search's.
int32_t YBWCManager_ActionsForRemoteTestResult(YBWCManager* manager, const Result* result);
