#pragma once
// Message kinds of the cluster protocol: the MPI tags, the request and result
// type codes with their names, the capacities of the receiving arrays, and
// the links from the message records to data held outside them.
#include <cstdint>

#include "chess/history.h"

struct Request;

// Requests and results travel under separate tags so that they never mix.
enum : int32_t { MESSAGE_TAG_REQUEST = 1, MESSAGE_TAG_RESULT = 2 };
// Probes for a message of either tag.
extern const int32_t MESSAGE_TAG_ANY;

// The system's own failure code (also for an undefined or unknown type).
constexpr int32_t kMessageErrorCode = 15;

enum RequestType : int32_t {
  REQUEST_TYPE_UNDEFINED = 0,
  REQUEST_TYPE_ROOT_MASTER_LOGON_INVITATION = 1,
  REQUEST_TYPE_ROOT_MASTER_LOGOFF_INVITATION = 2,
  REQUEST_TYPE_ROOT_MASTER_SHUTDOWN = 3,
  REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION = 4,
  REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION = 5,
  REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH = 6,
  REQUEST_TYPE_ROOT_MASTER_STOP_REMOTE_SEARCH = 7,
  REQUEST_TYPE_ROOT_MASTER_NEW_GAME = 8,
  REQUEST_TYPE_ROOT_MASTER_SET_OPTION = 9,
  REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST = 10,
  REQUEST_TYPE_ROOT_MASTER_MACHINE_INFO = 11,
  REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST = 12,
  REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK = 13,
  REQUEST_TYPE_MASTER_STOP = 14,
  REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT = 15,
  REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW = 16,
  REQUEST_TYPE_HASH_TABLE_REPLICATION = 17,
  REQUEST_TYPE_HASH_TABLE_BROADCAST_BUFFER = 18,
  REQUEST_TYPE_HISTORY_TABLE_REPLICATION = 19,
  REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER = 20,
  REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION = 21,
  REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER = 22,
  REQUEST_TYPE_COUNT = 23,
};

enum ResultType : int32_t {
  RESULT_TYPE_UNDEFINED = 0,
  RESULT_TYPE_NON_ROOT_MASTER_LOGON = 1,
  RESULT_TYPE_NON_ROOT_MASTER_LOGOFF = 2,
  RESULT_TYPE_NON_ROOT_MASTER_SHUTDOWN = 3,
  RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST = 4,
  RESULT_TYPE_NON_ROOT_MASTER_SYNC_NEW_GAME = 5,
  RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION = 6,
  RESULT_TYPE_MASTER_NO_WORK_AVAILABLE = 7,
  RESULT_TYPE_MASTER_WORK_AVAILABLE = 8,
  RESULT_TYPE_SYNC_AFTER_BROADCAST = 9,
  RESULT_TYPE_COUNT = 10,
};

// Longest texts kept from a message (characters, without the terminator).
constexpr int kSyncPositionMaxLength = 8000;
constexpr int kOptionTextMaxLength = 1024;
constexpr int kTypeNameMaxLength = 64;
// Receiving arrays: a pv of 255 moves and its terminating 0, the moves that
// lead to a work item's node, and killer pairs for every height.
constexpr int kPVCapacity = 256;
constexpr int kMoveAheadCapacity = 256;
constexpr int kKillerCapacity = 512;
// Most entries of one transposition-table chunk.
constexpr int kHashTableChunkMaxSize = 256;
// Host names as MPI reports them, with the terminator.
constexpr int kProcessorNameSize = 129;
// Received indexes into the receiver's tables: stack entries, the moves of an
// entry, heights (killer slots).
constexpr int kStackIndexLimit = 256;
constexpr int kMoveIndexLimit = 256;
constexpr int kHeightLimit = 256;

// One transposition-table entry of a broadcast chunk, as it travels.
struct HashTableEntry {
  uint64_t nKey;
  int32_t nMove;
  int32_t nDepth;
  int32_t nFlags;
  int32_t nValue;
};

// "<undefined>" for any value outside the tables.
const char* request_type_name(int32_t type);
const char* result_type_name(int32_t type);

// A chunk of transposition-table entries collected for broadcasting; its
// entries are packed straight into the buffer of pBroadcastRequest.
struct HashTableBuffer {
  int32_t nMaxSize;
  int32_t nCount;
  int32_t nChunkSizeForFlush;
  Request* pBroadcastRequest;
};

// What the messages read outside their own records: the work-id counter,
// the accumulated history increments that are broadcast, and the buffer that
// counts received chunks. Every pointer may be null: the matching message
// then packs an error, and a received chunk is stored without being counted.
struct MessageContext {
  int64_t nWorkIdCounter;  // last work id handed out; the first item gets 1
  const uint16_t* pHistoryTableBuffer;  // HistorySize increments each
  const uint16_t* pHistTotTableBuffer;
  const uint16_t* pHistHitTableBuffer;
  HashTableBuffer* pReceiveHashTableBuffer;
};

MessageContext* MessageContext_GetInstance();
