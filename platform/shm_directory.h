#pragma once
// The host-wide shared-memory directory, where the named segments and the
// lock files live: listing its entries, and removing at exit what this
// process created there and did not give back in order, so that a forgotten
// release leaves nothing behind. A forked child inherits that list but never
// acts on its parent's entries.
#include <string>
#include <vector>

inline constexpr const char* kSharedMemoryDirectory = "/dev/shm/";

// Entries whose names begin with `prefix` and end with `suffix`, without the suffix.
std::vector<std::string> platform_shm_directory_list(const std::string& prefix, const std::string& suffix);

void platform_remove_at_exit(const std::string& path);
// The file was removed in order: forget it.
void platform_forget_at_exit(const std::string& path);
