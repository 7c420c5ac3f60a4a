#pragma once
// The one description of every message's fields after its type: the wire
// order, the packed type of each field, where the record keeps it on the
// sending and on the receiving side, the check a received index must pass,
// and the line logged once the field has been read. Packing, unpacking and
// the field-by-field log all run from these tables, so a field is listed
// once and the three can never disagree about the order.
#include <cstdint>

struct PellamConfiguration;

enum class FieldKind : uint8_t {
  Int,
  Int64,
  Uint64,
  Double,
  Bool,
  Text,        // STR from and into an owned char* of at most `limit` characters
  Name,        // STR from and into a char array of `limit` bytes, terminator included
  Moves,       // USHORT_ARRAY: count member, sending pointer, receiving array of `limit`
  NameList,    // one STR per rank of the job: count member and an owned block of names
  TransChunk,  // INT entry count, then that many transposition-table entries
};

constexpr int kNoLogLine = -1;

struct MessageField {
  FieldKind kind;
  const char* name;        // names the field in ERROR lines
  int log_level;           // of the line written once the field is read; kNoLogLine: none
  const char* log_format;  // that line, with one conversion for the value (a list's count)
  uint32_t offset;         // the value; for lists and name lists the count
  uint32_t send_offset = 0;     // lists: pointer to the elements to send
  uint32_t receive_offset = 0;  // lists: the receiving array; name lists and chunks: the storage
  int32_t limit = 0;            // text length, name size, list capacity
  bool terminated = false;      // lists: a 0 is stored after the received elements
  bool (*accepts)(int32_t value) = nullptr;                // Int: an index the receiver can use
  bool (*present)(const PellamConfiguration& config) = nullptr;  // optional part; null: always
};

struct MessageLayout {
  const MessageField* fields;
  int32_t count;
};

// Layouts by the type that travels. A request type that never travels
// (the broadcast records 18, 20, 22, which go out as 17, 19, 21) and any
// value outside the tables has an empty layout.
const MessageLayout& request_layout(int32_t type);
const MessageLayout& result_layout(int32_t type);

// Packs the fields of `layout` from `record` after the type already packed.
// Returns 0 or the first failing code (logged once in `operation`'s name).
int32_t layout_pack(const MessageLayout& layout, const void* record, void* buffer, int32_t* position,
                    const char* operation);
// Reads the fields into `record` and logs each at its level. Writes nothing
// but the record: no count can run past its array, a text longer than its
// field and an index outside its table are refused. `received` is the
// number of bytes that arrived; a message whose fields need more is refused.
int32_t layout_unpack(const MessageLayout& layout, void* record, const void* buffer, int32_t* position,
                      int32_t received, const char* operation);
