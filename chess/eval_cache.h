#pragma once
// Evaluation cache. The static evaluation is a function of the position (its
// key) and of the evaluation's settings and caches, so a value once computed
// is kept under the position key and returned again until one of those
// inputs changes (every setter and cache reset clears this cache). The lazy
// shortcut also depends on the window: an entry keeps the shortcut's cheap
// value beside the full value, and each is returned under the same rule
// eval_position applies.
#include <cstdint>

struct eval_cache_entry_t {
  uint64_t key;         // full position key
  int32_t cheap_value;  // what the lazy shortcut returns; valid with EVAL_CACHE_LAZY
  int16_t full_value;   // valid with EVAL_CACHE_FULL
  uint8_t flags;        // 0: empty slot
  uint8_t pad;
};
static_assert(sizeof(eval_cache_entry_t) == 16);

enum : uint8_t {
  EVAL_CACHE_FULL = 1,   // full_value holds the complete evaluation
  EVAL_CACHE_LAZY = 2,   // the lazy shortcut applies to this position, with cheap_value
  EVAL_CACHE_DRAWN = 4,  // both draw multipliers are 0: the evaluation is 0
};

// 8192 slots (128 KB): measured faster than 4096 (more recomputation) and
// than 16384 or more (the slots fall out of the processor's caches).
enum : uint32_t { EVAL_CACHE_SIZE = 1u << 13, EVAL_CACHE_MASK = EVAL_CACHE_SIZE - 1 };

// The slot a key maps to (direct-mapped by the key's low bits).
eval_cache_entry_t& eval_cache_slot(uint64_t key);
// Empties every slot.
void eval_cache_clear();
