#pragma once
// The chess core's tables in host-wide segments: the transposition table
// under key 5997 and the history block under key 5998, plugged into the
// tables' memory seams. A table that cannot get its segment falls back to
// private memory; a table in a segment is given back to the segment, never
// freed as private memory.
#include <cstdint>

#include "chess/history.h"
#include "chess/trans.h"

struct YBWCManager;

extern const trans_memory_t SharedTransMemory;
extern const history_memory_t SharedHistoryMemory;

// Chooses the memory of the next trans_alloc: the segment when "Share Hash
// Table" is on at this moment, else private memory.
void YBWCManager_SelectTransMemory(YBWCManager* manager);
// Chooses the memory as above, then sizes and allocates the transposition
// table for `megabytes`.
void YBWCManager_AllocTranspositionTable(YBWCManager* manager, int megabytes);
// Allocates the history block: with "Share History Table" the segment, and
// when "Synchronize History Table Access" is on as well the named lock
// "CriticalSectionHistoryTable" around every access; otherwise private
// memory without a lock.
void YBWCManager_AllocHistoryTables(YBWCManager* manager);
// The history broadcast's accumulation hooks (the messaging layer's),
// taken into the history block's sharing hooks by every allocation while the
// host topology analysis has the broadcast on. Every allocation also
// installs the hook that marks the tables ready for received increments at
// their first reset.
void YBWCManager_SetHistoryAccumulation(int32_t (*accumulate_history)(int index, int amount),
                                        int32_t (*accumulate_hist_tot)(int index, bool hit));
// Frees or gives back both tables (a segment given back already only loses
// its view) and destroys the history lock.
void YBWCManager_ReleaseTables(YBWCManager* manager);
