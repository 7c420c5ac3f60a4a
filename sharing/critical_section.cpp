#include "sharing/critical_section.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/log.h"
#include "base/ybwc_manager.h"
#include "platform/named_lock.h"
#include "sharing/segment_names.h"

namespace {

constexpr uint32_t kWaitSliceMs = 100;

int32_t HeldCount = 0;

std::string host_wide_name(const CriticalSection* section) {
  return SharedMemory_LockName(YBWCManager_GetInstance(), section->sName);
}

}  // namespace

void CriticalSection_Construct(CriticalSection* section, const char* sName) {
  std::memset(section, 0, sizeof *section);
  std::snprintf(section->sName, sizeof section->sName, "%s", sName);
  bool created = false;
  section->hMutex = platform_named_lock_open(host_wide_name(section).c_str(), &created);
  section->bCreated = created ? 1 : 0;
  if (section->hMutex >= 0) {
    QLOG(0, "INFO CriticalSection_Construct(... <%s> successful created\n", section->sName);
  } else {
    QLOG(0, "ERROR CriticalSection_Construct(... create for <%s> failed\n", section->sName);
  }
}

void CriticalSection_Enter(CriticalSection* section) {
  if (section->hMutex < 0) return;
  for (;;) {
    const NamedLockWait wait = platform_named_lock_acquire(section->hMutex, kWaitSliceMs);
    if (wait == NamedLockWait::Acquired) break;
    if (wait == NamedLockWait::Failed) {
      QLOG(1, "ERROR CriticalSection_Enter(... lock for <%s> failed\n", section->sName);
      return;
    }
    QLOG(0, "INFO <%s> waiting for void CriticalSection_Enter(...\n", section->sName);
  }
  section->bLocked = 1;
  ++HeldCount;
}

void CriticalSection_Leave(CriticalSection* section) {
  if (!section->bLocked) return;
  if (!platform_named_lock_release(section->hMutex))
    QLOG(1, "ERROR CriticalSection_Leave(... ReleaseMutex for <%s> failed\n", section->sName);
  section->bLocked = 0;
  --HeldCount;
}

void CriticalSection_Destruct(CriticalSection* section) {
  if (section->hMutex < 0) return;
  if (section->bLocked) CriticalSection_Leave(section);
  if (!platform_named_lock_close(section->hMutex))
    QLOG(1, "ERROR CriticalSection_Destruct(... close handle for <%s> failed\n", section->sName);
  if (section->bCreated) platform_named_lock_remove(host_wide_name(section).c_str());
  section->hMutex = -1;
}

int32_t CriticalSection_HeldCount() { return HeldCount; }
