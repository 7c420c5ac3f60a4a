#pragma once
// The history broadcast: what the history tables learn is accumulated as
// increments (History in one buffer, HistHit and HistTot in two more), and
// after a configured number of updates the increments of each kind are sent
// to the other processes, which add them to their own tables. With a shared
// history block only the lowest rank of each other host gets them.
#include <cstdint>

struct YBWCManager;

// Accumulation hooks of the history updates (installed while the broadcast
// is on). Each returns the code of the broadcast it may have triggered.
// Increments saturate and are halved, all History ones together, a hit and
// total pair on its own, once an entry passes 16383.
int32_t YBWCManager_AccumulateHistoryUpdate(int index, int amount);
int32_t YBWCManager_AccumulateHistTotUpdate(int index, bool hit);

// Packs the increments once (and restarts them from 0 when that worked),
// then sends them to every target. The first failure is returned.
int32_t YBWCManager_BroadcastHistoryTable(YBWCManager* manager);
int32_t YBWCManager_BroadcastHistTotTable(YBWCManager* manager);
