#include "sharing/stale_segments.h"

#include <string>

#include "base/log.h"
#include "base/ybwc_manager.h"
#include "platform/named_lock.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "sharing/critical_section.h"
#include "sharing/segment_names.h"

namespace {

// The executable and job-id parts of this process's own job name.
std::string own_executable(YBWCManager* manager) {
  const std::string job = SharedMemory_JobName(manager);
  return job.substr(0, job.find('.'));
}

bool left_by_dead_job(const std::string& name, const std::string& prefix, const std::string& executable,
                      int64_t own_job) {
  const int64_t job = SharedMemory_JobIdOfName(name, prefix, executable);
  return job > 0 && job != own_job && !platform_process_alive(job);
}

}  // namespace

int SharedMemory_RemoveStale(YBWCManager* manager) {
  const std::string executable = own_executable(manager);
  const int64_t own_job = SharedMemory_JobIdOfName(SharedMemory_JobName(manager), "", executable);
  int removed = 0;
  const std::string segment_prefix = std::string(kSegmentNamePrefix) + executable + ".";
  for (const std::string& name : platform_shared_segment_names(segment_prefix)) {
    if (!left_by_dead_job(name, kSegmentNamePrefix, executable, own_job)) continue;
    if (!platform_shared_segment_remove_unused(name.c_str())) continue;
    QLOG(0, "INFO removed shared memory <%s> left by a job that ended\n", name.c_str());
    ++removed;
  }
  const std::string lock_prefix = std::string(kHistoryTableLockName) + "_";
  for (const std::string& name : platform_named_lock_names(lock_prefix + executable + ".")) {
    if (!left_by_dead_job(name, lock_prefix, executable, own_job)) continue;
    if (!platform_named_lock_remove(name.c_str())) continue;
    QLOG(0, "INFO removed lock <%s> left by a job that ended\n", name.c_str());
    ++removed;
  }
  return removed;
}

void SharedMemory_RemoveStaleOnce(YBWCManager* manager) {
  static bool done = false;
  if (done) return;
  done = true;
  SharedMemory_RemoveStale(manager);
}
