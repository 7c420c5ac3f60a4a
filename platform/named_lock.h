#pragma once
// Host-wide named locks: an advisory lock on a file in the shared-memory
// directory. The system releases it when its holder ends, so a process that
// crashed or was killed cannot leave it locked.
#include <cstdint>
#include <string>
#include <vector>

// Opens the lock `name`, creating it when missing; *created tells whether
// this call created it. -1 on failure, with errno set.
int platform_named_lock_open(const char* name, bool* created);

enum class NamedLockWait { Acquired, TimedOut, Failed };
// Takes the lock, waiting at most timeout_ms for another holder to let go.
NamedLockWait platform_named_lock_acquire(int handle, uint32_t timeout_ms);
bool platform_named_lock_release(int handle);
bool platform_named_lock_close(int handle);
// Removes the lock's file; processes that still have it open keep using it
// among themselves, a later open creates a new one.
bool platform_named_lock_remove(const char* name);
// Names of the existing locks that begin with `prefix`.
std::vector<std::string> platform_named_lock_names(const std::string& prefix);
