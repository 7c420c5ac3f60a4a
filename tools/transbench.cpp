// quorrel-transbench [HASH_MB] [OPERATIONS] [private|shared]
// Times the transposition table's allocation with its wipe (in private memory
// or in a host-wide segment), a second wipe, then stores and probes of
// pseudo-random keys, and prints the figures and the table use.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include <cstring>

#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/trans.h"
#include "sharing/table_memory.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

uint64_t next_key(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

}  // namespace

int main(int argc, char** argv) {
  const char* hash = argc > 1 ? argv[1] : "128";
  const long operations = argc > 2 ? std::atol(argv[2]) : 10000000L;
  const bool shared = argc > 3 && std::strcmp(argv[3], "shared") == 0;
  option_reset_all();
  option_set_value("Hash", hash);
  YBWCManager* manager = YBWCManager_GetInstance();
  manager->nRank = 0;  // a lone process
  manager->bRootMaster = 1;
  manager->pConfiguration->bUseSharedMemoryTranspositionTable = shared;

  auto start = std::chrono::steady_clock::now();
  YBWCManager_AllocTranspositionTable(manager, option_get_hash_megabytes());
  const double alloc_time = seconds_since(start);
  start = std::chrono::steady_clock::now();
  trans_wipe(Trans);
  const double wipe_time = seconds_since(start);
  trans_new_date(Trans);

  uint64_t state = 0x9E3779B97F4A7C15ull;
  start = std::chrono::steady_clock::now();
  for (long i = 0; i < operations; i++)
    trans_store(Trans, next_key(state), static_cast<int>(i & 0xFFF), static_cast<int>(i % 20), 3, static_cast<int>(i % 600) - 300);
  const double store_time = seconds_since(start);
  const uint64_t used = Trans->entries_used;

  state = 0x9E3779B97F4A7C15ull;
  entry_t* entry;
  int move, depth, bound, value;
  long hits = 0;
  start = std::chrono::steady_clock::now();
  for (long i = 0; i < operations; i++) hits += trans_probe(Trans, next_key(state), &entry, &move, &depth, &bound, &value);
  const double probe_time = seconds_since(start);

  std::printf("hash %s MB (%s memory): %" PRIu64 " entries, alloc+wipe %.3f s, wipe again %.3f s\n", hash,
              Trans->memory.bShared ? "shared" : "private", Trans->size, alloc_time, wipe_time);
  std::printf("stores %ld: %.1f M/s, hashfull %.0f, collisions %" PRIu64 "\n", operations,
              operations / store_time / 1e6, used * 1000.0 / Trans->size, Trans->store_collision);
  std::printf("probes %ld: %.1f M/s, hits %ld\n", operations, operations / probe_time / 1e6, hits);
  YBWCManager_ReleaseTables(manager);
  return 0;
}
