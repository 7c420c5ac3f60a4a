#include "chess/trans.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "base/fatal.h"
#include "base/log.h"
#include "chess/value.h"
#include "platform/memory.h"

namespace {

// Bitbase wins lose this much per ply of distance from the root.
constexpr int BitbasePlyLoss = 40;

// Private tables take huge-page memory where the system has it: every probe
// lands on a random cluster.
void* private_acquire(uint64_t bytes_wanted, uint64_t* bytes_got) {
  *bytes_got = bytes_wanted;
  void* memory = platform_alloc_large(static_cast<std::size_t>(bytes_wanted));
  if (memory == nullptr) my_fatal("my_malloc(): malloc(): out of memory for the transposition table\n");
  return memory;
}

void private_release(void* memory, uint64_t) { platform_free_large(memory); }

trans_t TransRecord{};
const trans_memory_t* SelectedMemory = &TransPrivateMemory;

// Addresses go into the log line as their low 32 bits: the line's format has
// a 32-bit conversion, and passing a 64-bit pointer to it is undefined.
unsigned address_low32(const void* address) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(address) & 0xFFFFFFFFu);
}

int date_of(const entry_t* entry) { return entry->date_flags >> 4; }

// The depth an entry stands for when results compete for it. The byte holds
// the principal-variation hints' depth -127 as 129 and a cleared entry as 128;
// read unsigned, both would rank above every real result, so that a hint
// stored into an empty slot would refuse every later search result for its
// position. Read as the signed depths they are, they rank below.
int competing_depth(const entry_t* entry) { return static_cast<int8_t>(entry->stored_depth); }
int bound_of(const entry_t* entry) { return entry->date_flags & 3; }

uint8_t date_flags(int date, int bound) { return static_cast<uint8_t>((date << 4) | (bound & 3)); }

int16_t saturate16(int value) { return static_cast<int16_t>(std::clamp(value, -32767, 32767)); }

void note_rank(trans_t* trans) { trans->pTransLock->nLockId = trans->nRank; }

}  // namespace

const trans_memory_t TransPrivateMemory = {private_acquire, private_release, false};

trans_t* Trans = &TransRecord;

void trans_set_memory(const trans_memory_t* provider) {
  SelectedMemory = provider != nullptr ? provider : &TransPrivateMemory;
}

uint64_t trans_entries_for_megabytes(int64_t megabytes) {
  if (megabytes < 4) megabytes = 16;
  // Beyond 2^40 bytes the doubling below would overflow; no machine has that.
  megabytes = std::min<int64_t>(megabytes, int64_t{1} << 20);
  const uint64_t bytes = static_cast<uint64_t>(megabytes) << 20;
  uint64_t power = 1;
  while (power <= bytes) power <<= 1;
  return power / 32;
}

uint64_t trans_entries_fitting(uint64_t bytes) {
  if (bytes < trans_memory_size(TransClusterSize)) return 0;
  uint64_t entries = 1;
  while (trans_memory_size(2 * entries + TransClusterSize - 1) <= bytes) entries *= 2;
  return entries;
}

void trans_alloc(trans_t* trans, int megabytes, int32_t nRank, bool bRootMaster) {
  trans_release(trans);
  trans->nRank = nRank;
  trans->bRootMaster = bRootMaster;

  uint64_t entries = trans_entries_for_megabytes(megabytes);

  trans_memory_t memory = *SelectedMemory;
  uint64_t bytes_got = 0;
  const uint64_t bytes_wanted = trans_memory_size(entries + TransClusterSize - 1);
  void* block = memory.acquire(bytes_wanted, &bytes_got);
  // A segment created earlier by another process keeps its creator's size,
  // smaller or larger than asked: the table takes the geometry that fits it,
  // so that every process using it indexes the same clusters and keeps the
  // lock word at the same place, after the last entry and inside the memory.
  entries = block != nullptr ? trans_entries_fitting(bytes_got) : 0;
  if (entries == 0) {
    if (block != nullptr) memory.release(block, bytes_got);
    if (memory.bShared)
      QLOG(1, "ERROR trans_alloc(... no shared memory for the table (%llu bytes), using private memory\n",
           static_cast<unsigned long long>(bytes_wanted));
    memory = TransPrivateMemory;
    block = memory.acquire(bytes_wanted, &bytes_got);
    entries = trans_entries_fitting(bytes_got);
  }

  trans->memory = memory;
  trans->memory_bytes = bytes_got;
  trans->table = static_cast<entry_t*>(block);
  trans->size = entries + TransClusterSize - 1;
  trans->index_mask = entries - 1;
  trans->pTransLock = reinterpret_cast<TransLock*>(trans->table + trans->size);

  QLOG(0, "INFO trans_alloc(... &trans->table %u, trans->size %d, sizeof(entry_t) %d, &trans->pTransLock->nLockId %u\n",
       address_low32(trans->table), static_cast<int>(trans->size), static_cast<int>(sizeof(entry_t)),
       address_low32(&trans->pTransLock->nLockId));

  trans->pTransLock->nLockId = -1;
  trans_wipe(trans);
}

void trans_release(trans_t* trans) {
  if (trans->table != nullptr) trans->memory.release(trans->table, trans->memory_bytes);
  trans->table = nullptr;
  trans->pTransLock = nullptr;
  trans->size = 0;
  trans->index_mask = 0;
  trans->memory_bytes = 0;
}

void trans_wipe(trans_t* trans) { trans_wipe(trans, trans->bRootMaster); }

void trans_wipe(trans_t* trans, bool bRootMaster) {
  trans_date_set(trans, 0);
  for (uint64_t i = 0; i < trans->size; i++) {
    entry_t& entry = trans->table[i];
    entry.entry_key = 0;
    entry.best_move = 0;
    entry.stored_depth = TransDepthCleared;
    entry.date_flags = date_flags(0, TRANS_BOUND_NONE);
    entry.stored_value = 0;
    entry.spare = 0;
  }
  if (!bRootMaster) trans_date_set(trans, 1);
}

void trans_date_set(trans_t* trans, int date) {
  trans->current_date = date & (TransDateCount - 1);
  for (int d = 0; d < TransDateCount; d++) trans->date_age[d] = (trans->current_date - d + TransDateCount) % TransDateCount;
  trans->entries_used = 0;
  trans->probe_nb = 0;
  trans->probe_hit = 0;
  trans->store_nb = 0;
  trans->store_hit = 0;
  trans->store_collision = 0;
}

void trans_new_date(trans_t* trans) { trans_date_set(trans, trans->current_date + 1); }

bool trans_probe(trans_t* trans, uint64_t key, entry_t** entry, int* move, int* depth, int* bound, int* value) {
  if (trans->table == nullptr) {
    *entry = nullptr;
    return false;
  }
  trans->probe_nb++;
  note_rank(trans);
  entry_t* e = trans_cluster(trans, key);
  for (int i = 0; i < TransClusterSize; i++, e++) {
    if (e->entry_key == key) {
      trans->probe_hit++;
      *entry = e;
      *move = e->best_move;
      *depth = e->stored_depth;
      *bound = bound_of(e);
      *value = e->stored_value;
      return true;
    }
  }
  *entry = e;
  return false;
}

void trans_store(trans_t* trans, uint64_t key, int move, int depth, int bound, int value) {
  if (trans->table == nullptr) return;
  trans->store_nb++;
  note_rank(trans);
  bound &= 3;
  entry_t* const cluster = trans_cluster(trans, key);

  for (int i = 0; i < TransClusterSize; i++) {
    entry_t* e = cluster + i;
    if (e->entry_key != key) continue;
    trans->store_hit++;
    if (date_of(e) != trans->current_date) trans->entries_used++;
    if (depth < competing_depth(e)) {
      if (e->best_move == 0) e->best_move = static_cast<uint16_t>(move);
      e->date_flags = date_flags(trans->current_date, bound_of(e));
    } else {
      if (move != 0) e->best_move = static_cast<uint16_t>(move);
      e->stored_depth = static_cast<uint8_t>(depth);
      e->date_flags = date_flags(trans->current_date, bound);
      e->stored_value = saturate16(value);
    }
    return;
  }

  // Old dates first, then shallow entries, then weaker bounds.
  entry_t* victim = cluster;
  int best_score = -32767;
  for (int i = 0; i < TransClusterSize; i++) {
    const entry_t* e = cluster + i;
    const int score = (trans->date_age[date_of(e)] * 256 - competing_depth(e)) * 4 - bound_of(e);
    if (score > best_score) {
      best_score = score;
      victim = cluster + i;
    }
  }
  if (date_of(victim) == trans->current_date) {
    trans->store_collision++;
  } else {
    trans->entries_used++;
  }
  victim->entry_key = key;
  victim->best_move = static_cast<uint16_t>(move);
  victim->stored_depth = static_cast<uint8_t>(depth);
  victim->date_flags = date_flags(trans->current_date, bound);
  victim->stored_value = saturate16(value);
  victim->spare = 0;
}

int value_to_table(int value, int height) {
  // Computed wide, then held inside the value's own band so the 16-bit field
  // cannot wrap and a bitbase win cannot turn into a mate score.
  const int64_t v = value;
  const int64_t h = height;
  if (value < -ValueEvalInf) return static_cast<int>(std::clamp<int64_t>(v - h, -32767, -ValueEvalInf - 1));
  if (value < -ValueBitbaseMin && value > -ValueEvalInf)
    return static_cast<int>(std::clamp<int64_t>(v - BitbasePlyLoss * h, -ValueEvalInf + 1, -ValueBitbaseMin - 1));
  if (value > ValueBitbaseMin && value < ValueEvalInf)
    return static_cast<int>(std::clamp<int64_t>(v + BitbasePlyLoss * h, ValueBitbaseMin + 1, ValueEvalInf - 1));
  if (value > ValueEvalInf) return static_cast<int>(std::clamp<int64_t>(v + h, ValueEvalInf + 1, 32767));
  return value;
}

int value_from_table(int value, int height) {
  const int64_t v = value;
  const int64_t h = height;
  int64_t result = v;
  if (value < -ValueEvalInf) {
    result = v + h;
  } else if (value < -ValueBitbaseMin && value > -ValueEvalInf) {
    result = v + BitbasePlyLoss * h;
  } else if (value > ValueBitbaseMin && value < ValueEvalInf) {
    result = v - BitbasePlyLoss * h;
  } else if (value > ValueEvalInf) {
    result = v - h;
  }
  return static_cast<int>(std::clamp<int64_t>(result, -32767, 32767));
}

double trans_hashfull(const trans_t* trans, uint64_t others_used) {
  if (trans->size == 0) return 0.0;
  const double used = static_cast<double>(trans->entries_used + others_used);
  return std::min(1000.0, used * 1000.0 / static_cast<double>(trans->size));
}
