#pragma once
// Which ranks share a host: the broadcast targets (the lowest rank of every
// other host), whether this process is the lowest rank of its own host, and
// whether the table broadcasts are needed; and the priority of the processes
// that run beside the root master (and its GUI).
struct YBWCManager;

// Sets the handlers' bSameNode and broadcast-target flags and the manager's
// bHashTableMaster, bHasHashTableBroadcastTargets and broadcast switches from
// the processor names in the handlers; logs the decisions.
void YBWCManager_AnalyzeHostTopology(YBWCManager* manager);
// A non root master on the root master's host runs below normal priority
// while "Lower Process Priority To Favor GUI Updates" is on, else at normal
// priority; processes on other hosts are left alone.
void YBWCManager_AdjustProcessPriority(YBWCManager* manager);
