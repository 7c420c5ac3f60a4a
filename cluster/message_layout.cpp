#include "cluster/message_layout.h"

#include <array>
#include <cinttypes>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "base/configuration.h"
#include "base/fatal.h"
#include "base/log.h"
#include "base/return_position.h"
#include "base/ybwc_manager.h"
#include "cluster/message_fields.h"
#include "cluster/request.h"
#include "cluster/result.h"

namespace {

// ---- What a received index must satisfy -------------------------------------------------

bool stack_index(int32_t v) { return v >= 0 && v < kStackIndexLimit; }
bool move_index(int32_t v) { return v >= 0 && v < kMoveIndexLimit; }
bool height(int32_t v) { return v >= 0 && v < kHeightLimit; }
bool call_type(int32_t v) { return v >= 1 && v <= 4; }  // CALL_TYPE_FULL_ROOT .. CALL_TYPE_FULL_QUIESCENCE
bool return_position(int32_t v) {
  for (const ReturnPositionInfo& info : kReturnPositions)
    if (info.value == v) return true;
  return false;
}

bool history_attached(const PellamConfiguration& config) { return config.bTransmitHistoryTable != 0; }
bool hist_tot_attached(const PellamConfiguration& config) { return config.bTransmitHistTotTable != 0; }

// ---- The tables -----------------------------------------------------------------------------

#define FIELD(kind_, Record, member, level, format)                                                \
  .kind = FieldKind::kind_, .name = "pThis->" #member, .log_level = level, .log_format = format, \
  .offset = offsetof(Record, member)
#define LIST(Record, count, pointer, array)                                                        \
  .send_offset = offsetof(Record, pointer), .receive_offset = offsetof(Record, array),             \
  .limit = static_cast<int32_t>(sizeof(Record::array) / sizeof(Record::array[0]))

constexpr const char* kSyncIdLine = "nSyncPositionId = %d\n";
constexpr const char* kWorkIdLine = "nWorkId = <%12" PRId64 ">\n";

template <std::size_t A, std::size_t B>
constexpr std::array<MessageField, A + B> join(const std::array<MessageField, A>& a,
                                               const std::array<MessageField, B>& b) {
  std::array<MessageField, A + B> all{};
  for (std::size_t i = 0; i < A; i++) all[i] = a[i];
  for (std::size_t i = 0; i < B; i++) all[A + i] = b[i];
  return all;
}

// The search result that a slave's result and a remote test's result both
// carry, in one order; the received pv ends with a 0.
template <typename Record>
constexpr std::array<MessageField, 11> search_result_fields() {
  return {{
      {FIELD(Int, Record, nBestMove, 5, "nBestMove = <%d>\n")},
      {FIELD(Int, Record, nBestValue, 5, "nBestValue = <%d>\n")},
      {FIELD(Int, Record, nFlags, 5, "nFlags = <%d>\n")},
      {FIELD(Int, Record, nDepth, 5, "nDepth = <%d>\n")},
      {FIELD(Int, Record, nMaxDepth, 5, "nMaxDepth = <%d>\n")},
      {FIELD(Moves, Record, nPVLength, 5, "nPVLength = <%d>\n"), LIST(Record, nPVLength, pPV, PV),
       .terminated = true},
      {FIELD(Bool, Record, bPonderMoveOk, 5, "bPonderMoveOk = <%d>\n")},
      {FIELD(Double, Record, dTime, 5, "dTime <%9.2f>\n")},
      {FIELD(Double, Record, dSpeed, 5, "dSpeed <%9.2f>\n")},
      {FIELD(Double, Record, dCPU, 5, "dCPU <%7.2f>\n")},
      {FIELD(Int64, Record, nNodes, 5, "nNodes <%12" PRId64 ">\n")},
  }};
}

constexpr std::array<MessageField, 2> kSyncPosition{{
    {FIELD(Int, Request, nSyncPositionId, 6, kSyncIdLine)},
    {FIELD(Text, Request, psSyncPosition, 6, "SyncPosition for <%s>\n"), .limit = kSyncPositionMaxLength},
}};

constexpr std::array<MessageField, 2> kSetOption{{
    {FIELD(Text, Request, psOptionName, 6, "sOptionName <%s>\n"), .limit = kOptionTextMaxLength},
    {FIELD(Text, Request, psOptionValue, 6, "sOptionValue <%s>\n"), .limit = kOptionTextMaxLength},
}};

constexpr std::array<MessageField, 1> kRemoteTest{{
    {FIELD(Text, Request, psGoCommands, 6, "GoCommands <%s>\n"), .limit = kOptionTextMaxLength},
}};

constexpr std::array<MessageField, 1> kMachineInfo{{
    {FIELD(NameList, Request, nProcessorNameCount, 5, "Processor name on rank %d is <%s>\n"),
     .receive_offset = offsetof(Request, psProcessorNames), .limit = kProcessorNameSize},
}};

constexpr std::array<MessageField, 1> kTryToGetWork{{
    {FIELD(Int, Request, nSyncPositionId, 6, kSyncIdLine)},
}};

constexpr std::array<MessageField, 1> kMasterStop{{
    {FIELD(Int64, Request, nWorkId, 5, kWorkIdLine)},
}};

constexpr auto kSlaveResult = join(
    join(std::array<MessageField, 4>{{
             {FIELD(Int, Request, nSyncPositionId, 5, "nSyncPositionId = <%d>\n")},
             {FIELD(Int64, Request, nWorkId, 5, kWorkIdLine)},
             {FIELD(Int, Request, nStackIndex, 5, "nStackIndex = <%d>\n"), .accepts = stack_index},
             {FIELD(Int, Request, nMoveListIndex, 5, "nMoveListIndex = <%d>\n"), .accepts = move_index},
         }},
         search_result_fields<Request>()),
    std::array<MessageField, 1>{{
        {FIELD(Uint64, Request, nTransUsed, 5, "nTransUSed <%12" PRIu64 ">\n")},
    }});

constexpr std::array<MessageField, 3> kUpdateSearchWindow{{
    {FIELD(Int64, Request, nWorkId, 5, kWorkIdLine)},
    {FIELD(Int, Request, nAlpha, 5, "nAlpha = <%d>\n")},
    {FIELD(Int, Request, nBeta, 5, "nBeta = <%d>\n")},
}};

constexpr std::array<MessageField, 1> kHashTableChunk{{
    {FIELD(TransChunk, Request, nHashTableEntryCount, 999, "nCount = %d\n"),
     .receive_offset = offsetof(Request, HashTableEntries), .limit = kHashTableChunkMaxSize},
}};

constexpr std::array<MessageField, 2> kHistoryIncrements{{
    {FIELD(Int, Request, nSyncPositionId, 6, kSyncIdLine)},
    {FIELD(Moves, Request, nHistoryTableCount, 5, "nHistoryTableSize = <%d>\n"),
     LIST(Request, nHistoryTableCount, pHistoryTable, HistoryTable)},
}};

constexpr std::array<MessageField, 3> kHistTotIncrements{{
    {FIELD(Int, Request, nSyncPositionId, 6, kSyncIdLine)},
    {FIELD(Moves, Request, nHistTotTableCount, 5, "nHistTotTableSize = <%d>\n"),
     LIST(Request, nHistTotTableCount, pHistTotTable, HistTotTable)},
    {FIELD(Moves, Request, nHistHitTableCount, 5, "nHistHitTableSize = <%d>\n"),
     LIST(Request, nHistHitTableCount, pHistHitTable, HistHitTable)},
}};

constexpr std::array<MessageField, 1> kLogon{{
    {FIELD(Name, Result, sProcessorName, 5, "Processor name is <%s>\n"), .limit = kProcessorNameSize},
}};

constexpr std::array<MessageField, 1> kLogoff{{
    {FIELD(Int64, Result, nTotalNodes, 5, "nTotalNodes <%12" PRId64 ">\n")},
}};

constexpr auto kRemoteTestResult = search_result_fields<Result>();

constexpr std::array<MessageField, 1> kNoWorkAvailable{{
    {FIELD(Int, Result, nSyncPositionId, kNoLogLine, nullptr)},
}};

constexpr std::array<MessageField, 23> kWorkAvailable{{
    {FIELD(Int, Result, nSyncPositionId, 5, "nSyncPositionId = <%d>\n")},
    {FIELD(Int64, Result, nWorkId, 5, kWorkIdLine)},
    {FIELD(Int, Result, nStackIndex, 5, "nStackIndex = <%d>\n"), .accepts = stack_index},
    {FIELD(Int, Result, nMoveListIndex, 5, "nMoveListIndex = <%d>\n"), .accepts = move_index},
    {FIELD(Int, Result, nCallType, 5, "nCallType = <%d>\n"), .accepts = call_type},
    {FIELD(Int, Result, nReturnPosition, 5, "nReturnPosition = <%d>\n"), .accepts = return_position},
    {FIELD(Int, Result, nMove, 5, "nMove = <%d>\n")},
    {FIELD(Int, Result, nDepth, 5, "nDepth = <%d>\n")},
    {FIELD(Int, Result, nNewDepth, 5, "nNewDepth = <%d>\n")},
    {FIELD(Int, Result, nHeight, 5, "nHeight = <%d>\n"), .accepts = height},
    {FIELD(Bool, Result, bExtended, 5, "bExtended = <%d>\n")},
    {FIELD(Bool, Result, bInPV, 5, "bInPV = <%d>\n")},
    {FIELD(Int, Result, nPlayedNb, 5, "nPlayedNb = <%d>\n")},
    {FIELD(Int, Result, nHistoryValue, 5, "nHistoryValue = <%d>\n")},
    {FIELD(Int, Result, nAlpha, 5, "nAlpha = <%d>\n")},
    {FIELD(Int, Result, nBeta, 5, "nBeta = <%d>\n")},
    {FIELD(Int, Result, nTransDate, 5, "nTransDate = <%d>\n")},
    {FIELD(Bool, Result, bGoodCap, 5, "bGoodCap = <%d>\n")},
    {FIELD(Moves, Result, nMoveAheadListCount, 5, "nMoveAheadListCount = <%d>\n"),
     LIST(Result, nMoveAheadListCount, pMoveAheadList, MoveAheadList)},
    {FIELD(Moves, Result, nKillerListCount, 5, "nKillerListCount = <%d>\n"),
     LIST(Result, nKillerListCount, pKillerList, KillerList)},
    {FIELD(Moves, Result, nHistoryTableCount, 5, "nHistoryTableSize = <%d>\n"),
     LIST(Result, nHistoryTableCount, pHistoryTable, HistoryTable), .present = history_attached},
    {FIELD(Moves, Result, nHistTotTableCount, 5, "nHistTotTableSize = <%d>\n"),
     LIST(Result, nHistTotTableCount, pHistTotTable, HistTotTable), .present = hist_tot_attached},
    {FIELD(Moves, Result, nHistHitTableCount, 5, "nHistHitTableSize = <%d>\n"),
     LIST(Result, nHistHitTableCount, pHistHitTable, HistHitTable), .present = hist_tot_attached},
}};

#undef FIELD
#undef LIST

template <std::size_t N>
constexpr MessageLayout layout_of(const std::array<MessageField, N>& fields) {
  return {fields.data(), static_cast<int32_t>(N)};
}

constexpr MessageLayout kNothing{nullptr, 0};

const std::array<MessageLayout, REQUEST_TYPE_COUNT> kRequestLayouts{{
    kNothing,                          // 0 undefined
    kNothing,                          // 1 logon invitation
    kNothing,                          // 2 logoff invitation
    kNothing,                          // 3 shutdown
    kNothing,                          // 4 idle invitation
    layout_of(kSyncPosition),          // 5
    kNothing,                          // 6 support search
    kNothing,                          // 7 stop remote search
    kNothing,                          // 8 new game
    layout_of(kSetOption),             // 9
    layout_of(kRemoteTest),            // 10
    layout_of(kMachineInfo),           // 11
    kNothing,                          // 12 sync after broadcast
    layout_of(kTryToGetWork),          // 13
    layout_of(kMasterStop),            // 14
    layout_of(kSlaveResult),           // 15
    layout_of(kUpdateSearchWindow),    // 16
    layout_of(kHashTableChunk),        // 17
    kNothing,                          // 18 travels as 17
    layout_of(kHistoryIncrements),     // 19
    kNothing,                          // 20 travels as 19
    layout_of(kHistTotIncrements),     // 21
    kNothing,                          // 22 travels as 21
}};

const std::array<MessageLayout, RESULT_TYPE_COUNT> kResultLayouts{{
    kNothing,                        // 0 undefined
    layout_of(kLogon),               // 1
    layout_of(kLogoff),              // 2
    kNothing,                        // 3 shutdown
    layout_of(kRemoteTestResult),    // 4
    kNothing,                        // 5 synced new game
    kNothing,                        // 6 synced set option
    layout_of(kNoWorkAvailable),     // 7
    layout_of(kWorkAvailable),       // 8
    kNothing,                        // 9 synced after broadcast
}};

// ---- Running the tables -------------------------------------------------------------------

template <typename T>
T& at(void* record, uint32_t offset) {
  return *reinterpret_cast<T*>(static_cast<char*>(record) + offset);
}

template <typename T>
const T& at(const void* record, uint32_t offset) {
  return *reinterpret_cast<const T*>(static_cast<const char*>(record) + offset);
}

bool present(const MessageField& field) {
  return field.present == nullptr || field.present(*YBWCManager_GetInstance()->pConfiguration);
}

void pack_field(MessagePacker* packer, const MessageField& field, const void* record) {
  switch (field.kind) {
    case FieldKind::Int: packer->Int(at<int32_t>(record, field.offset), field.name); break;
    case FieldKind::Int64: packer->Int64(at<int64_t>(record, field.offset), field.name); break;
    case FieldKind::Uint64: packer->Uint64(at<uint64_t>(record, field.offset), field.name); break;
    case FieldKind::Double: packer->Double(at<double>(record, field.offset), field.name); break;
    case FieldKind::Bool: packer->Bool(at<int32_t>(record, field.offset), field.name); break;
    case FieldKind::Text: packer->Str(at<char*>(record, field.offset), field.name); break;
    case FieldKind::Name: packer->Str(&at<char>(record, field.offset), field.name); break;
    case FieldKind::Moves:
      packer->UshortArray(at<int32_t>(record, field.offset), at<const uint16_t*>(record, field.send_offset),
                          field.name);
      break;
    case FieldKind::NameList: {
      const int32_t count = at<int32_t>(record, field.offset);
      const char* names = at<char*>(record, field.receive_offset);
      if (count > 0 && names == nullptr) packer->Fail(kMessageErrorCode, field.name);
      for (int32_t rank = 0; rank < count && packer->ok(); rank++)
        packer->Str(names + static_cast<std::size_t>(rank) * field.limit, field.name);
      break;
    }
    case FieldKind::TransChunk:
      // The header only: the broadcast appends the entries as it collects them.
      packer->Int(at<int32_t>(record, field.offset), field.name);
      break;
  }
}

void log_field(const MessageField& field, const void* record) {
  if (field.log_level == kNoLogLine || !log_level_enabled(field.log_level)) return;
  YBWCManager* manager = YBWCManager_GetInstance();
  switch (field.kind) {
    case FieldKind::Int:
    case FieldKind::Bool:
    case FieldKind::Moves:
      YBWCManager_Log(manager, field.log_format, at<int32_t>(record, field.offset));
      break;
    case FieldKind::Int64: YBWCManager_Log(manager, field.log_format, at<int64_t>(record, field.offset)); break;
    case FieldKind::Uint64: YBWCManager_Log(manager, field.log_format, at<uint64_t>(record, field.offset)); break;
    case FieldKind::Double: YBWCManager_Log(manager, field.log_format, at<double>(record, field.offset)); break;
    case FieldKind::Text: YBWCManager_Log(manager, field.log_format, at<char*>(record, field.offset)); break;
    case FieldKind::Name: YBWCManager_Log(manager, field.log_format, &at<char>(record, field.offset)); break;
    case FieldKind::NameList:
    case FieldKind::TransChunk:
      break;  // logged while they are read
  }
}

// A received text is read into a local buffer, then copied into a new owned
// string; the record keeps its old text if the read fails.
void unpack_text(MessageUnpacker* unpacker, const MessageField& field, void* record) {
  char text[kSyncPositionMaxLength + 1];
  static_assert(kSyncPositionMaxLength >= kOptionTextMaxLength);
  unpacker->Str(text, field.limit + 1, field.name);
  if (!unpacker->ok()) return;
  char*& owned = at<char*>(record, field.offset);
  std::free(owned);
  const std::size_t length = std::strlen(text);
  owned = static_cast<char*>(my_malloc(length + 1));
  std::memcpy(owned, text, length + 1);
}

// One name per rank of the job, in rank order.
void unpack_names(MessageUnpacker* unpacker, const MessageField& field, void* record) {
  int32_t count = YBWCManager_GetInstance()->nSize;
  if (count < 0) count = 0;
  if (count > kMaxProcessors) count = kMaxProcessors;
  char*& names = at<char*>(record, field.receive_offset);
  std::free(names);
  names = static_cast<char*>(my_malloc(static_cast<std::size_t>(count) * field.limit + 1));
  std::memset(names, 0, static_cast<std::size_t>(count) * field.limit + 1);
  at<int32_t>(record, field.offset) = count;
  for (int32_t rank = 0; rank < count && unpacker->ok(); rank++) {
    char* name = names + static_cast<std::size_t>(rank) * field.limit;
    unpacker->Str(name, field.limit, field.name);
    if (unpacker->ok()) QLOG(field.log_level, field.log_format, rank, name);
  }
}

// A chunk's count beyond a chunk's size cannot come from a sender. A failing
// entry is logged and the next one is tried; the first failure is returned.
void unpack_chunk(MessageUnpacker* unpacker, const MessageField& field, void* record, const void* buffer,
                  int32_t* position, const char* operation) {
  int32_t count = 0;
  unpacker->Int(&count, "nCount");
  if (!unpacker->ok()) return;
  QLOG(field.log_level, field.log_format, count);
  if (count < 0 || count > field.limit) {
    unpacker->Fail(MPI_ERR_TRUNCATE, "nCount out of range");
    return;
  }
  at<int32_t>(record, field.offset) = count;
  auto* entries = &at<HashTableEntry>(record, field.receive_offset);
  for (int32_t i = 0; i < count; i++) {
    MessageUnpacker entry_unpacker(operation, buffer, position);
    HashTableEntry& entry = entries[i];
    entry_unpacker.Uint64(&entry.nKey, "nKey");
    entry_unpacker.Int(&entry.nMove, "nMove");
    entry_unpacker.Int(&entry.nDepth, "nDepth");
    entry_unpacker.Int(&entry.nFlags, "nFlags");
    entry_unpacker.Int(&entry.nValue, "nValue");
    if (!entry_unpacker.ok()) {
      unpacker->Adopt(entry_unpacker.code());
      continue;
    }
    if (i == 0 && log_level_enabled(field.log_level)) {
      QLOG(field.log_level, "nKey = <%12" PRIu64 ">\n", entry.nKey);
      QLOG(field.log_level, "nMove = %d\n", entry.nMove);
      QLOG(field.log_level, "nDepth = %d\n", entry.nDepth);
      QLOG(field.log_level, "nFlags = %d\n", entry.nFlags);
      QLOG(field.log_level, "nValue = %d\n", entry.nValue);
    }
  }
}

void unpack_field(MessageUnpacker* unpacker, const MessageField& field, void* record, const void* buffer,
                  int32_t* position, const char* operation) {
  switch (field.kind) {
    case FieldKind::Int: unpacker->Int(&at<int32_t>(record, field.offset), field.name); break;
    case FieldKind::Int64: unpacker->Int64(&at<int64_t>(record, field.offset), field.name); break;
    case FieldKind::Uint64: unpacker->Uint64(&at<uint64_t>(record, field.offset), field.name); break;
    case FieldKind::Double: unpacker->Double(&at<double>(record, field.offset), field.name); break;
    case FieldKind::Bool: unpacker->Bool(&at<int32_t>(record, field.offset), field.name); break;
    case FieldKind::Text: unpack_text(unpacker, field, record); break;
    case FieldKind::Name: unpacker->Str(&at<char>(record, field.offset), field.limit, field.name); break;
    case FieldKind::Moves: {
      uint16_t* array = &at<uint16_t>(record, field.receive_offset);
      const int32_t capacity = field.terminated ? field.limit - 1 : field.limit;
      int32_t& count = at<int32_t>(record, field.offset);
      unpacker->UshortArray(&count, array, capacity, field.name);
      if (unpacker->ok() && field.terminated) array[count] = 0;
      break;
    }
    case FieldKind::NameList: unpack_names(unpacker, field, record); break;
    case FieldKind::TransChunk: unpack_chunk(unpacker, field, record, buffer, position, operation); break;
  }
  if (unpacker->ok() && field.kind == FieldKind::Int && field.accepts != nullptr &&
      !field.accepts(at<int32_t>(record, field.offset))) {
    QLOG(1, "ERROR %s(... %s = %d is outside its table, errorcode = %d\n", operation, field.name,
         at<int32_t>(record, field.offset), kMessageErrorCode);
    unpacker->Adopt(kMessageErrorCode);
  }
}

}  // namespace

const MessageLayout& request_layout(int32_t type) {
  return type >= 0 && type < REQUEST_TYPE_COUNT ? kRequestLayouts[type] : kNothing;
}

const MessageLayout& result_layout(int32_t type) {
  return type >= 0 && type < RESULT_TYPE_COUNT ? kResultLayouts[type] : kNothing;
}

int32_t layout_pack(const MessageLayout& layout, const void* record, void* buffer, int32_t* position,
                    const char* operation) {
  MessagePacker packer(operation, buffer, position);
  for (int32_t i = 0; i < layout.count && packer.ok(); i++) {
    const MessageField& field = layout.fields[i];
    if (present(field)) pack_field(&packer, field, record);
  }
  return packer.code();
}

int32_t layout_unpack(const MessageLayout& layout, void* record, const void* buffer, int32_t* position,
                      int32_t received, const char* operation) {
  MessageUnpacker unpacker(operation, buffer, position);
  for (int32_t i = 0; i < layout.count && unpacker.ok(); i++) {
    const MessageField& field = layout.fields[i];
    if (!present(field)) continue;
    unpack_field(&unpacker, field, record, buffer, position, operation);
    // A field read past the end of what arrived came from a cut-off message.
    if (unpacker.ok() && *position > received) {
      QLOG(1, "ERROR %s(... failed at %s, %d bytes needed, %d bytes received, errorcode = %d\n", operation,
           field.name, *position, received, MPI_ERR_TRUNCATE);
      unpacker.Adopt(MPI_ERR_TRUNCATE);
    }
    if (unpacker.ok()) log_field(field, record);
  }
  return unpacker.code();
}
