#include "chess/history.h"

#include <cstdlib>

#include "base/fatal.h"
#include "base/log.h"
#include "chess/killer.h"
#include "chess/legality.h"

history_block_t* gpHistory = nullptr;

namespace {

history_block_t* private_acquire() { return static_cast<history_block_t*>(my_malloc(sizeof(history_block_t))); }
void private_release(history_block_t* block) { std::free(block); }

const history_memory_t* g_provider = &HistoryPrivateMemory;
// Where the current block came from, so it goes back there even when the
// provider was switched after allocation.
history_memory_t g_block_memory = {nullptr, nullptr, false};
history_sharing_t g_sharing = {};
int32_t g_owner_rank = -1;
bool g_owner_root_master = false;
bool g_reset_pending = true;
int g_reset_count = 0;

// Brackets every access to a block that other processes may write: takes the
// named lock when one is installed and stamps the writer's rank.
class block_access {
 public:
  explicit block_access(bool write) {
    if (g_sharing.lock != nullptr) g_sharing.lock();
    if (write && g_block_memory.bShared) gpHistory->nRank = g_owner_rank;
  }
  ~block_access() {
    if (g_sharing.unlock != nullptr) g_sharing.unlock();
  }
  block_access(const block_access&) = delete;
  block_access& operator=(const block_access&) = delete;
};

uint16_t halve(uint16_t x) { return static_cast<uint16_t>((x + 1) / 2); }

uint16_t saturated_sum(uint16_t entry, uint16_t increment) {
  const int sum = entry + increment;
  return static_cast<uint16_t>(sum > 0xFFFF ? 0xFFFF : sum);
}

void halve_pair(int index) {
  gpHistory->HistHit[index] = halve(gpHistory->HistHit[index]);
  gpHistory->HistTot[index] = halve(gpHistory->HistTot[index]);
}

void fill_fresh() {
  for (int i = 0; i < HistorySize; ++i) {
    gpHistory->History[i] = 0;
    gpHistory->HistHit[i] = 1;
    gpHistory->HistTot[i] = 1;
  }
}

// Counts one hit/total update; reports a failing broadcast and goes on.
void hist_tot_update(int move, const board_state_t& board, bool hit) {
  if (move_is_noisy(move, board)) return;
  int index = history_index(move, board);
  if (index < 0) return;
  {
    block_access access(true);
    if (hit) ++gpHistory->HistHit[index];
    ++gpHistory->HistTot[index];
    if (gpHistory->HistTot[index] >= HistoryMax) halve_pair(index);
  }
  if (g_sharing.accumulate_hist_tot != nullptr) {
    int32_t error = g_sharing.accumulate_hist_tot(index, hit);
    if (error != 0)
      QLOG(1, "ERROR %s(... failed at YBWCManager_BroadcastHistTotTable(..., errorcode = %d\n",
           hit ? "history_good" : "history_bad", error);
  }
}

}  // namespace

const history_memory_t HistoryPrivateMemory = {private_acquire, private_release, false};

void history_set_owner(int32_t nRank, bool bRootMaster) {
  g_owner_rank = nRank;
  g_owner_root_master = bRootMaster;
}

void history_set_memory(const history_memory_t* provider) {
  g_provider = provider != nullptr ? provider : &HistoryPrivateMemory;
}

void history_set_sharing(const history_sharing_t* sharing) { g_sharing = sharing != nullptr ? *sharing : history_sharing_t{}; }

void history_alloc() {
  history_free();
  history_memory_t memory = *g_provider;
  history_block_t* block = memory.acquire();
  if (block == nullptr && memory.bShared) {
    // A process never runs without its tables: it keeps them to itself.
    QLOG(1, "ERROR history_alloc(... no shared memory for the history tables, using private memory\n");
    memory = HistoryPrivateMemory;
    block = memory.acquire();
  }
  gpHistory = block;
  g_block_memory = memory;
  // A shared block may already hold what other processes learned; only a
  // private one starts from a defined state here.
  if (!g_block_memory.bShared) fill_fresh();
}

void history_free() {
  if (gpHistory == nullptr) return;
  if (g_block_memory.release != nullptr) g_block_memory.release(gpHistory);
  gpHistory = nullptr;
  g_block_memory = {nullptr, nullptr, false};
}

bool history_is_shared() { return gpHistory != nullptr && g_block_memory.bShared; }

int history_index(int move, const board_state_t& board) {
  int piece = piece_index12[board.squares[move_from(move)]];
  return piece < 0 ? -1 : 64 * piece + (move & 63);
}

void good_move(int move, const board_state_t& board, int depth, int height) {
  if (move_is_noisy(move, board)) return;
  int index = history_index(move, board);
  if (index < 0) return;  // not a move of this position
  killer_add(height, move);
  int amount = depth * depth;
  {
    block_access access(true);
    // Computed wide and halved until below the limit: a deep search adds more
    // than 16 bits can hold, and a wrapped sum would lose the entry.
    int value = gpHistory->History[index] + amount;
    while (value >= HistoryMax) {
      for (uint16_t& entry : gpHistory->History) entry = halve(entry);
      value = (value + 1) / 2;
    }
    gpHistory->History[index] = static_cast<uint16_t>(value);
  }
  if (g_sharing.accumulate_history != nullptr) {
    int32_t error = g_sharing.accumulate_history(index, amount);
    if (error != 0) QLOG(1, "ERROR good_move(... failed at YBWCManager_BroadcastHistoryTable(..., errorcode = %d\n", error);
  }
}

void history_good(int move, const board_state_t& board) { hist_tot_update(move, board, true); }

void history_bad(int move, const board_state_t& board) { hist_tot_update(move, board, false); }

int history_prob(int move, const board_state_t& board) {
  int index = history_index(move, board);
  if (index < 0) return HistoryProbMax;
  block_access access(false);
  int tot = gpHistory->HistTot[index];
  int hit = gpHistory->HistHit[index];
  // Writers in other processes, or tables received with a work item, can
  // leave hit above total or a zero total: keep the result in range.
  if (tot == 0) return HistoryProbMax;
  int value = HistoryProbMax * hit / tot;
  if (value > HistoryProbMax) {
    value = HistoryProbMax;
    halve_pair(index);
    QLOG(3, "WARNING history_prob(... value forced limited to 16384\n");
  }
  return value;
}

void history_block_reset() {
  if (gpHistory == nullptr) return;
  {
    block_access access(true);
    fill_fresh();
  }
  g_reset_pending = false;
  ++g_reset_count;
  if (g_sharing.reset_done != nullptr) g_sharing.reset_done();
}

void history_reset() {
  killer_clear();
  if (g_owner_root_master || g_reset_pending) history_block_reset();
}

int history_reset_count() { return g_reset_count; }

void history_merge_received(const history_received_t& received) {
  if (gpHistory == nullptr) return;
  auto count = [](const uint16_t* table, int n) { return table == nullptr || n < 0 ? 0 : n < HistorySize ? n : HistorySize; };
  const int history_count = count(received.History, received.nHistoryCount);
  const int tot_count = count(received.HistTot, received.nHistTotCount);
  const int hit_count = count(received.HistHit, received.nHistHitCount);
  block_access access(true);
  if (received.bReplace) {
    for (int i = 0; i < history_count; ++i) gpHistory->History[i] = received.History[i];
    for (int i = 0; i < tot_count; ++i) gpHistory->HistTot[i] = received.HistTot[i];
    for (int i = 0; i < hit_count; ++i) gpHistory->HistHit[i] = received.HistHit[i];
    return;
  }
  // Sums saturate: a peer's increments added to a large entry must not wrap
  // round to a small one.
  bool overflow = false;
  for (int i = 0; i < history_count; ++i) {
    gpHistory->History[i] = saturated_sum(gpHistory->History[i], received.History[i]);
    if (gpHistory->History[i] > HistoryMax - 1) overflow = true;
  }
  if (overflow)
    for (uint16_t& entry : gpHistory->History) entry = halve(entry);
  if (tot_count == 0 && hit_count == 0) return;
  for (int i = 0; i < HistorySize; ++i) {
    if (i < hit_count) gpHistory->HistHit[i] = saturated_sum(gpHistory->HistHit[i], received.HistHit[i]);
    if (i < tot_count) gpHistory->HistTot[i] = saturated_sum(gpHistory->HistTot[i], received.HistTot[i]);
    if (gpHistory->HistTot[i] > HistoryMax - 1) halve_pair(i);
  }
}
