#pragma once
// Memory for large tables that the search reads at random: aligned to the
// huge-page size and offered to the kernel for huge pages, so that a probe
// costs fewer address-translation misses. Where huge pages are unavailable
// the memory is ordinary.
#include <cstddef>

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Memory of at least `bytes`, aligned to kHugePageBytes; nullptr when none is
// left. Give it back with platform_free_large.
void* platform_alloc_large(std::size_t bytes);
void platform_free_large(void* memory);

// Asks for huge pages over the whole huge pages inside [address, address + bytes).
void platform_advise_huge_pages(void* address, std::size_t bytes);
