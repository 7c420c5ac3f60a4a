#pragma once
// Transposition table: per position key a best move, a depth, a bound and a
// value, in clusters of four 16-byte entries. The memory may be private or a
// host-wide shared segment read and written by several processes without
// locks, so the layouts below are exact and the full key is checked on probe.
#include <array>
#include <cstddef>
#include <cstdint>

struct entry_t {
  uint64_t entry_key;    // full position key
  uint16_t best_move;    // 0 if none
  uint8_t stored_depth;  // TransDepthCleared marks a cleared entry; -127 is held as 129
  uint8_t date_flags;    // bits 4-7 date of the writing search, bits 0-1 bound
  int16_t stored_value;  // table form (value_to_table)
  uint16_t spare;        // always 0
};
static_assert(sizeof(entry_t) == 16);
static_assert(offsetof(entry_t, entry_key) == 0);
static_assert(offsetof(entry_t, best_move) == 8);
static_assert(offsetof(entry_t, stored_depth) == 10);
static_assert(offsetof(entry_t, date_flags) == 11);
static_assert(offsetof(entry_t, stored_value) == 12);
static_assert(offsetof(entry_t, spare) == 14);

// Rank of the last process that touched the table; lives directly after the
// last entry, inside the table's memory.
struct TransLock {
  int32_t nLockId;
};
static_assert(sizeof(TransLock) == 4);

// Bounds of a stored value (bits 0-1 of date_flags).
enum : int {
  TRANS_BOUND_NONE = 0,
  TRANS_BOUND_UPPER = 1,
  TRANS_BOUND_LOWER = 2,
  TRANS_BOUND_EXACT = 3,
};

constexpr int TransClusterSize = 4;
constexpr int TransDateCount = 16;
constexpr int TransDepthCleared = 128;

// Source of the table's memory. The private provider uses my_malloc; the
// shared-memory layer installs one that maps the host-wide segment. acquire
// returns the memory (zero bytes usable → none) and stores in *bytes_got how
// many bytes may be used, which differs from what was asked for when an
// existing segment has another size; release gives back what acquire
// returned. When a shared provider has no memory, the table falls back to
// private memory.
struct trans_memory_t {
  void* (*acquire)(uint64_t bytes_wanted, uint64_t* bytes_got);
  void (*release)(void* memory, uint64_t bytes);
  bool bShared;  // the memory is seen by other processes
};

struct trans_t {
  entry_t* table;          // size entries followed by the TransLock
  uint64_t size;           // entries: a power of two plus 3, so the last cluster fits
  uint64_t index_mask;     // the power of two minus 1
  int current_date;        // 0..15
  std::array<int, TransDateCount> date_age;  // (current_date - d) mod 16
  uint64_t entries_used;   // entries written in the current date
  uint64_t probe_nb;
  uint64_t probe_hit;
  uint64_t store_nb;
  uint64_t store_hit;
  uint64_t store_collision;
  TransLock* pTransLock;
  // The process using the table, given by trans_alloc: its rank is stamped
  // into nLockId on every probe and store, and trans_wipe starts the root
  // master at date 0 and every other process at date 1.
  int32_t nRank;
  bool bRootMaster;
  // Where the memory came from, so release returns it to the same place even
  // when the provider was switched after allocation.
  trans_memory_t memory;
  uint64_t memory_bytes;
};

// The process-wide table.
extern trans_t* Trans;

// Private memory (my_malloc / free).
extern const trans_memory_t TransPrivateMemory;

// Selects the memory used by the next trans_alloc; nullptr selects private memory.
void trans_set_memory(const trans_memory_t* provider);

// Entries for a table of `megabytes` (below 4 counts as 16): the largest
// power of two of 16-byte entries that fits, computed in 64 bits.
uint64_t trans_entries_for_megabytes(int64_t megabytes);
// The largest power of two of entries whose table (with the last cluster's
// extra entries and the lock word) fits in `bytes`; 0 when none does.
uint64_t trans_entries_fitting(uint64_t bytes);
// Bytes of a table of `size` entries with its lock word.
constexpr uint64_t trans_memory_size(uint64_t size) { return size * sizeof(entry_t) + sizeof(TransLock); }

// Sizes the table for `megabytes`, takes its memory, logs, sets nLockId to -1
// and wipes it for the process of rank nRank. A table already allocated is
// released first.
void trans_alloc(trans_t* trans, int megabytes, int32_t nRank, bool bRootMaster);
void trans_release(trans_t* trans);

// Empties every entry and resets the date: 0 on the root master, 1 elsewhere,
// so processes sharing entries write different dates. The first form takes
// the role given to trans_alloc.
void trans_wipe(trans_t* trans);
void trans_wipe(trans_t* trans, bool bRootMaster);

// Both recompute the ages and reset entries_used and the counters.
void trans_date_set(trans_t* trans, int date);
void trans_new_date(trans_t* trans);

// True when the key's cluster holds the key; *entry then points to that entry
// and move, depth (0..255), bound and value (table form) are filled. Otherwise
// *entry points past the cluster.
bool trans_probe(trans_t* trans, uint64_t key, entry_t** entry, int* move, int* depth, int* bound, int* value);

// The first entry of the cluster that holds `key`.
inline entry_t* trans_cluster(const trans_t* trans, uint64_t key) {
  return trans->table + (static_cast<uint32_t>(key) & trans->index_mask);
}

// Starts loading the cluster of `key` into the cache, so that a probe a little
// later finds it there. Changes nothing; a table not yet allocated is skipped.
inline void trans_prefetch(const trans_t* trans, uint64_t key) {
  if (trans->table != nullptr) __builtin_prefetch(trans_cluster(trans, key));
}

// Stores a result; `value` is in table form. Any int is accepted (entries
// received from other processes): depth keeps its low 8 bits, bound its low 2
// bits, and the value saturates to 16 bits.
void trans_store(trans_t* trans, uint64_t key, int move, int depth, int bound, int value);

// Node-relative value <-> table value at a height from the root. Mate scores
// move by one per ply, bitbase wins by 40 per ply. value_to_table saturates
// inside the value's band, so a result always fits 16 bits and a bitbase win
// never becomes a mate score.
int value_to_table(int value, int height);
int value_from_table(int value, int height);

// Table use in thousandths, adding entries used by other processes sharing it
// (at most 1000).
double trans_hashfull(const trans_t* trans, uint64_t others_used);
