#pragma once
// The root master's control of the other ranks: logon, machine information,
// log-off and shutdown, and the synchronisation after a broadcast; the rounds
// in which it sends one request to every other rank and waits for their
// answers. Every operation returns 0 or an error code.
#include <cstdint>
#include <functional>

#include "cluster/host_topology.h"
#include "cluster/message_service.h"
#include "cluster/root_control.h"

struct YBWCManager;
struct Request;
struct Result;

// Longest wait for the other ranks' log-off and shutdown answers while a
// fatal error ends the process: the others are normally well and answer at
// once, but a fatal exit must never wait for them for ever.
constexpr uint32_t kFatalShutdownWaitMs = 3000;

int32_t YBWCManager_WaitForNonRootMasterStartedUp(YBWCManager* manager);
int32_t YBWCManager_SendMachineInfo(YBWCManager* manager);
// Stops what still runs (a remote test, the root master's own search and its
// slaves) before it logs the others off.
int32_t YBWCManager_WaitForNonRootMasterLoggedOff(YBWCManager* manager);
int32_t YBWCManager_WaitForNonRootMasterShutdown(YBWCManager* manager);
// MPICH's finalisation over its network module (UCX, between hosts or with
// MPIR_CVAR_NOLOCAL) can hang when processes finalise at the same moment:
// there the root master finalises first and the others after it, the highest
// rank first, this many milliseconds apart.
constexpr uint32_t kFinalizeStaggerMs = 100;
// The pause of this process before its MPI finalisation (0 in a job on one
// host whose processes talk through shared memory).
uint32_t YBWCManager_FinalizeDelayMs(const YBWCManager* manager);
// True when every other rank has answered the shutdown.
bool YBWCManager_AllNonRootMastersShutDown(const YBWCManager* manager);

// Sends SYNC_AFTER_BROADCAST to every other rank and services messages until
// all have answered: every table broadcast sent before has then arrived.
int32_t YBWCManager_WaitForSyncAfterBroadcast(YBWCManager* manager);

// One round of the root master: the request `init` fills goes to every rank
// 1 .. size-1 (to every other rank with `every_other_rank`). Failures are
// logged in the name of `operation`; the round goes on with the next rank
// unless `stop_at_first_failure`. Returns the first failure.
int32_t YBWCManager_SendToPeers(YBWCManager* manager, const char* operation, const char* init_name,
                                const std::function<int32_t(Request*)>& init, bool stop_at_first_failure,
                                bool every_other_rank = false);
// Services messages, pausing until 10 ms have passed since the previous
// round, until `done` holds. A service failure ends the wait with its code
// (logged in the name of `operation`). With `bounded_on_fatal`, a fatal error
// being handled bounds the wait to kFatalShutdownWaitMs (then 15).
int32_t YBWCManager_WaitForPeers(YBWCManager* manager, const char* operation, const std::function<bool()>& done,
                                 bool bounded_on_fatal = false);
// True when `test` holds for the handler of every rank 1 .. size-1 (every
// other rank with `every_other_rank`).
bool YBWCManager_EveryPeer(const YBWCManager* manager, const std::function<bool(const struct ProcessorHandler&)>& test,
                           bool every_other_rank = false);

// ---- A non root master's side --------------------------------------------------------------

// Log-off: idle, synchronised after the broadcasts, logged off, detached from
// the shared segments, answered with the node count.
int32_t YBWCManager_ActionsForLogoffInvitation(YBWCManager* manager, const Request* request);
// Detaches (without deleting) from the shared segments this process attached to.
void YBWCManager_DetachSharedSegments(YBWCManager* manager);
// The machine information has arrived: host topology, process priority, then
// the tables.
void YBWCManager_ActionsForMachineInfo(YBWCManager* manager);
