#pragma once
// What the received tables do to this process's tables: transposition-table
// chunks are stored, history increments are merged, and the history tables
// that come with a work item replace the process's own. They act when their
// message is dispatched, never while it is read.
#include <cstdint>

struct YBWCManager;
struct Request;
struct Result;

// Type 17: counts the entries in the receive buffer and stores them, unless
// the node is not logged on or a hash-size change is under way.
int32_t YBWCManager_StoreHashTableChunk(YBWCManager* manager, Request* request);
// Types 19 and 21: merged only for the current position, once the tables
// were reset for it (19 only while logged on).
int32_t YBWCManager_MergeHistoryIncrements(YBWCManager* manager, const Request* request);
int32_t YBWCManager_MergeHistTotIncrements(YBWCManager* manager, const Request* request);
// Result type 8: the tables the configuration attaches replace the process's.
void YBWCManager_TakeOverWorkItemHistory(YBWCManager* manager, const Result* work_item);
