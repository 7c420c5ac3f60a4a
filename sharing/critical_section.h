#pragma once
// Named inter-process lock. Every process of a job on one host that
// constructs a lock of the same name shares it; a holder that ends releases
// it, so a crashed process cannot leave it locked.
#include <cstdint>

struct CriticalSection {
  int32_t hMutex;     // handle of the host-wide lock, -1 when none was obtained
  char sName[1028];
  int32_t bLocked;    // this process holds the lock
  int32_t bCreated;   // this process created the lock and removes it when it destroys it
};

// The one lock of the system: around the accesses to a shared history block.
inline constexpr const char* kHistoryTableLockName = "CriticalSectionHistoryTable";

// Clears the record and creates the lock, or opens it when another process
// of the job created it, without taking it.
void CriticalSection_Construct(CriticalSection* section, const char* sName);
// Waits for the lock in slices of 100 ms, logging each slice that ends
// without it. Returns at once when the record has no lock.
void CriticalSection_Enter(CriticalSection* section);
void CriticalSection_Leave(CriticalSection* section);
// Leaves first when held, then closes the lock.
void CriticalSection_Destruct(CriticalSection* section);
// Locks this process holds.
int32_t CriticalSection_HeldCount();
