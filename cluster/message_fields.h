#pragma once
// Field-by-field packing and unpacking of one message. The first failing
// field ends the message: it is logged once (naming the operation, the
// wrapper call and the field) and every later field is skipped, so the
// caller simply packs in wire order and returns code() at the end.
#include <mpi.h>

#include <cinttypes>
#include <cstdint>

#include "base/log.h"

class MessagePacker {
 public:
  MessagePacker(const char* operation, void* buffer, int32_t* position)
      : operation_(operation), buffer_(buffer), position_(position) {}

  void Int(int32_t value, const char* field);
  void Int64(int64_t value, const char* field);
  void Uint64(uint64_t value, const char* field);
  void Double(double value, const char* field);
  void Bool(int32_t value, const char* field);
  void Str(const char* text, const char* field);
  void UshortArray(int32_t count, const uint16_t* values, const char* field);
  // A whole history table (HistorySize entries); a missing table fails with 15.
  void HistoryTable(const uint16_t* table, const char* field);
  // Records a failure of a step that is not a pack (e.g. the processor name).
  void Fail(int32_t code, const char* callee);

  int32_t code() const { return code_; }
  bool ok() const { return code_ == 0; }

 private:
  void check(int32_t code, const char* callee, const char* field);
  const char* operation_;
  void* buffer_;
  int32_t* position_;
  int32_t code_ = 0;
};

class MessageUnpacker {
 public:
  MessageUnpacker(const char* operation, const void* buffer, int32_t* position)
      : operation_(operation), buffer_(buffer), position_(position) {}

  void Int(int32_t* value, const char* field);
  void Int64(int64_t* value, const char* field);
  void Uint64(uint64_t* value, const char* field);
  void Double(double* value, const char* field);
  void Bool(int32_t* value, const char* field);
  // capacity counts the terminator; a longer text fails.
  void Str(char* text, int32_t capacity, const char* field);
  // A count above capacity fails before anything is written.
  void UshortArray(int32_t* count, uint16_t* values, int32_t capacity, const char* field);
  void Fail(int32_t code, const char* reason);

  int32_t code() const { return code_; }
  bool ok() const { return code_ == 0; }

 private:
  void check(int32_t code, const char* callee, const char* field);
  const char* operation_;
  const void* buffer_;
  int32_t* position_;
  int32_t code_ = 0;
};

// The send path shared by requests and results. A message whose packing
// failed (pack_code != 0) is not sent: *send_cancelled is set so that its
// queue frees it, and pack_code is returned.
int32_t message_issue_send(const char* operation, const void* buffer, int32_t length, int32_t pack_code,
                           int32_t destination, int32_t tag, MPI_Request* handle, int32_t* send_cancelled);
// The context's wait for the destination's queue (none installed: 0).
int32_t message_wait_for_sends(const char* operation, int32_t destination);
// The completion test of the send queues (operation names the record kind).
bool message_is_send_pending(const char* operation, MPI_Request* handle, int32_t send_cancelled,
                             int32_t destination);

// The search result that a slave's result and a remote test's result both
// carry, in one order: nBestMove, nBestValue, nFlags, nDepth, nMaxDepth, the
// pv, bPonderMoveOk, dTime, dSpeed, dCPU, nNodes.
template <typename Record>
void pack_search_result(MessagePacker* packer, const Record* record) {
  packer->Int(record->nBestMove, "pThis->nBestMove");
  packer->Int(record->nBestValue, "pThis->nBestValue");
  packer->Int(record->nFlags, "pThis->nFlags");
  packer->Int(record->nDepth, "pThis->nDepth");
  packer->Int(record->nMaxDepth, "pThis->nMaxDepth");
  packer->UshortArray(record->nPVLength, record->pPV, "pThis->pPV");
  packer->Bool(record->bPonderMoveOk, "pThis->bPonderMoveOk");
  packer->Double(record->dTime, "pThis->dTime");
  packer->Double(record->dSpeed, "pThis->dSpeed");
  packer->Double(record->dCPU, "pThis->dCPU");
  packer->Int64(record->nNodes, "pThis->nNodes");
}

// The received pv ends with a 0, so one place of PV stays free for it.
template <typename Record>
void unpack_search_result(MessageUnpacker* unpacker, Record* record) {
  unpacker->Int(&record->nBestMove, "pThis->nBestMove");
  unpacker->Int(&record->nBestValue, "pThis->nBestValue");
  unpacker->Int(&record->nFlags, "pThis->nFlags");
  unpacker->Int(&record->nDepth, "pThis->nDepth");
  unpacker->Int(&record->nMaxDepth, "pThis->nMaxDepth");
  constexpr int32_t capacity = static_cast<int32_t>(sizeof record->PV / sizeof record->PV[0]) - 1;
  unpacker->UshortArray(&record->nPVLength, record->PV, capacity, "pThis->PV");
  if (unpacker->ok()) record->PV[record->nPVLength] = 0;
  unpacker->Bool(&record->bPonderMoveOk, "pThis->bPonderMoveOk");
  unpacker->Double(&record->dTime, "pThis->dTime");
  unpacker->Double(&record->dSpeed, "pThis->dSpeed");
  unpacker->Double(&record->dCPU, "pThis->dCPU");
  unpacker->Int64(&record->nNodes, "pThis->nNodes");
}

template <typename Record>
void log_search_result(const Record* record) {
  QLOG(5, "nBestMove = <%d>\n", record->nBestMove);
  QLOG(5, "nBestValue = <%d>\n", record->nBestValue);
  QLOG(5, "nFlags = <%d>\n", record->nFlags);
  QLOG(5, "nDepth = <%d>\n", record->nDepth);
  QLOG(5, "nMaxDepth = <%d>\n", record->nMaxDepth);
  QLOG(5, "nPVLength = <%d>\n", record->nPVLength);
  QLOG(5, "bPonderMoveOk = <%d>\n", record->bPonderMoveOk);
  QLOG(5, "dTime <%9.2f>\n", record->dTime);
  QLOG(5, "dSpeed <%9.2f>\n", record->dSpeed);
  QLOG(5, "dCPU <%7.2f>\n", record->dCPU);
  QLOG(5, "nNodes <%12" PRId64 ">\n", record->nNodes);
}
