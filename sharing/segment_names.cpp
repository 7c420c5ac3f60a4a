#include "sharing/segment_names.h"

#include <cctype>
#include <cstdio>

#include "base/ybwc_manager.h"
#include "platform/process.h"

namespace {

std::string reduced(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '-' && c != '_') c = '-';
  }
  return result.empty() ? "-" : result;
}

std::string executable_path(const YBWCManager* manager) {
  if (manager->pArgv != nullptr && *manager->pArgv != nullptr && (*manager->pArgv)[0] != nullptr)
    return (*manager->pArgv)[0];
  return platform_executable_path();
}

// The proxy of an MPI process manager is the parent of all the job's
// processes on this host.
int64_t job_id() {
  return platform_started_by_process_manager() ? platform_parent_process_id() : platform_process_id();
}

}  // namespace

std::string SharedMemory_ExecutableName(const std::string& executable_path) {
  std::string name = executable_path.substr(executable_path.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return reduced(name);
}

std::string SharedMemory_ComposeJobName(const std::string& executable_path, int64_t job_id,
                                        const std::string& processor_name) {
  return SharedMemory_ExecutableName(executable_path) + "." + std::to_string(job_id) + "." + reduced(processor_name);
}

const char* SharedMemory_JobName(YBWCManager* manager) {
  if (manager->sSharedMemoryJobName[0] == '\0') {
    std::string host = manager->sLocalProcessorName;
    if (host.empty()) host = platform_host_name();
    const std::string name = SharedMemory_ComposeJobName(executable_path(manager), job_id(), host);
    std::snprintf(manager->sSharedMemoryJobName, sizeof manager->sSharedMemoryJobName, "%s", name.c_str());
  }
  return manager->sSharedMemoryJobName;
}

std::string SharedMemory_SegmentName(YBWCManager* manager, int32_t nKey) {
  return std::string(kSegmentNamePrefix) + SharedMemory_JobName(manager) + "_" + std::to_string(nKey);
}

std::string SharedMemory_LockName(YBWCManager* manager, const char* sName) {
  return std::string(sName) + "_" + SharedMemory_JobName(manager);
}

int64_t SharedMemory_JobIdOfName(const std::string& name, const std::string& prefix, const std::string& executable) {
  const std::string start = prefix + executable + ".";
  if (name.compare(0, start.size(), start) != 0) return -1;
  std::size_t i = start.size();
  int64_t id = 0;
  const std::size_t digits_begin = i;
  while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && i - digits_begin < 18)
    id = id * 10 + (name[i++] - '0');
  if (i == digits_begin || i >= name.size() || name[i] != '.') return -1;
  return id;
}
