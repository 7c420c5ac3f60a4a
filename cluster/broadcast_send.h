#pragma once
// The table broadcasts' buffers and their one way out. The manager owns the
// transposition-table send and receive buffers and the history increments;
// a broadcast packs a chunk or a set of increments once into a shared
// record, and every target gets a per-peer record that only carries the
// handle of its own send of those bytes. The shared record lives until its
// last send is done.
#include <cstdint>
#include <functional>

struct YBWCManager;
struct ProcessorHandler;
struct Request;

struct BroadcastOutcome {
  int32_t nFirstCode;  // 0, or the first failure (the loop goes on with the next peer)
  int32_t nSent;       // peers whose send was issued and completed
};

// Sends `shared` to every other rank for which `is_target` holds (every
// other rank when it is null). `init` makes the per-peer record refer to
// `shared`; failures are logged as "ERROR <operation>(... failed at
// <init_name>(..." or "... failed at Request_SendBroadcastBuffer(...". The
// shared record is marked in progress meanwhile, then destroyed unless a
// per-peer record still refers to it (the last of them destroys it then).
BroadcastOutcome YBWCManager_SendBroadcast(YBWCManager* manager, Request* shared,
                                           bool (*is_target)(const ProcessorHandler& handler),
                                           const char* operation, const char* init_name,
                                           const std::function<int32_t(Request*)>& init);

// Start-up: the two transposition-table buffers with the chunk size of this
// moment (a later change of the option does not reach them), and the links
// the messages use to read the increments and count received chunks.
void YBWCManager_ConstructBroadcastBuffers(YBWCManager* manager);
// Drops an open chunk, frees both buffers and removes the links.
void YBWCManager_DestructBroadcastBuffers(YBWCManager* manager);
