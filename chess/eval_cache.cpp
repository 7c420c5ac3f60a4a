#include "chess/eval_cache.h"

#include <array>

namespace {
std::array<eval_cache_entry_t, EVAL_CACHE_SIZE> eval_cache{};
}  // namespace

eval_cache_entry_t& eval_cache_slot(uint64_t key) { return eval_cache[static_cast<uint32_t>(key) & EVAL_CACHE_MASK]; }

void eval_cache_clear() { eval_cache.fill(eval_cache_entry_t{}); }
