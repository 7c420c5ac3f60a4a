#pragma once
// Identity of the running process and liveness of others.
#include <cstdint>
#include <string>

int64_t platform_process_id();
int64_t platform_parent_process_id();
// True while a process with this id runs. One that has ended and waits to be
// reaped by its parent counts as gone.
bool platform_process_alive(int64_t pid);
// True when the process was started by an MPI process manager: it then runs
// under the manager's proxy on its host, shared by the job's processes there.
bool platform_started_by_process_manager();
// Path of the running executable, empty when the system cannot tell.
std::string platform_executable_path();
// The host's name, empty when the system cannot tell.
std::string platform_host_name();

// Scheduling priority of this process: below normal (ten steps of niceness
// below where it was started, at most 19) or as started. Returns false when
// the system refuses (an unprivileged process may not raise its priority
// again).
bool platform_set_below_normal_priority(bool below_normal);

// Ends the process with `exit_code` once `seconds` have passed, unless
// cancelled (seconds 0) before: a bound on a call that may never return.
void platform_exit_after(uint32_t seconds, int exit_code);
