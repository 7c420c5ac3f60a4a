#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

void* platform_alloc_large(std::size_t bytes) {
  const std::size_t rounded = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  void* memory = std::aligned_alloc(kHugePageBytes, rounded);
  if (memory != nullptr) platform_advise_huge_pages(memory, rounded);
  return memory;
}

void platform_free_large(void* memory) { std::free(memory); }

void platform_advise_huge_pages(void* address, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  const auto begin = reinterpret_cast<std::uintptr_t>(address);
  const std::uintptr_t first = (begin + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  const std::uintptr_t last = (begin + bytes) / kHugePageBytes * kHugePageBytes;
  // Advice only: a kernel without huge pages refuses it and nothing changes.
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)address;
  (void)bytes;
#endif
}
