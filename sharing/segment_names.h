#pragma once
// Names of the host-wide segments and locks. A segment is named
// "SharedMemory_Id_<job name>_<key>", a lock "<lock name>_<job name>", where
// the job name is "<executable>.<job id>.<host>":
// - the executable's file name without directory and extension, so that
//   every process of a job started from it meets in the same segments;
// - the job's id on this host: the process manager's proxy (the parent) when
//   an MPI process manager started the process, which all ranks of a job on
//   one host share and no other job has, else the process's own id. Two jobs
//   of the same executable on one host must not share a segment: a process
//   that attaches clears the table under the other job's search;
// - the processor name, so that hosts simulated on one machine get separate
//   segments like real hosts.
// Every part is reduced to letters, digits, '-' and '_', so the parts and the
// key can be read back from a name.
#include <cstdint>
#include <string>

struct YBWCManager;

inline constexpr const char* kSegmentNamePrefix = "SharedMemory_Id_";

// The executable part: file name without directory and extension, reduced.
std::string SharedMemory_ExecutableName(const std::string& executable_path);
std::string SharedMemory_ComposeJobName(const std::string& executable_path, int64_t job_id,
                                        const std::string& processor_name);
// This process's job name, worked out on first use and kept in the manager.
const char* SharedMemory_JobName(YBWCManager* manager);
std::string SharedMemory_SegmentName(YBWCManager* manager, int32_t nKey);
std::string SharedMemory_LockName(YBWCManager* manager, const char* sName);
// The job id a name of `executable` carries after `prefix`; -1 when the name
// is not of that form.
int64_t SharedMemory_JobIdOfName(const std::string& name, const std::string& prefix, const std::string& executable);
