#pragma once
// Field-by-field packing and unpacking of one message. The first failing
// field ends the message: it is logged once (naming the operation, the
// wrapper call and the field) and every later field is skipped, so the
// caller simply packs in wire order and returns code() at the end.
#include <mpi.h>

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
  // A negative count, or elements not given, fail with 15.
  void UshortArray(int32_t count, const uint16_t* values, const char* field);
  // Records a failure of a step that is not a pack (e.g. the processor name).
  void Fail(int32_t code, const char* callee);
  // Takes a failure that was logged already (the first one counts).
  void Adopt(int32_t code) {
    if (code_ == 0) code_ = code;
  }

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
  // Takes a failure that was logged already (the first one counts).
  void Adopt(int32_t code) {
    if (code_ == 0) code_ = code;
  }

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
// failed (pack_code != 0) or whose send could not be issued is dropped:
// *send_cancelled is set so that its queue frees it instead of waiting for
// it, and the failing code is returned.
int32_t message_issue_send(const char* operation, const void* buffer, int32_t length, int32_t pack_code,
                           int32_t destination, int32_t tag, MPI_Request* handle, int32_t* send_cancelled);
// Waits until the destination's queues have drained (no handler: 0).
int32_t message_wait_for_sends(const char* operation, int32_t destination);
// The completion test of the send queues (operation names the record kind).
bool message_is_send_pending(const char* operation, MPI_Request* handle, int32_t send_cancelled,
                             int32_t destination);
