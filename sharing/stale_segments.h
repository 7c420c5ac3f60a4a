#pragma once
// Segments and lock files that jobs of this executable left on the host when
// all their processes were killed. The job id in a name is the id of a
// process that lives as long as the job; when it is gone, so is the job, and
// what it left is removed. A segment that some process still holds is kept
// whatever its name says.

struct YBWCManager;

// Removes what dead jobs of this executable left; returns how many names.
int SharedMemory_RemoveStale(YBWCManager* manager);
// The same, once per process (the first segment it maps).
void SharedMemory_RemoveStaleOnce(YBWCManager* manager);
