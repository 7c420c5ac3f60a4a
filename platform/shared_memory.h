#pragma once
// Host-wide named shared memory: segments that every process of the host can
// map by name. The first process that asks for a name creates the segment,
// the others attach to it, and the caller learns which of the two happened.
//
// Every process that maps a segment holds a shared advisory lock on it until
// it closes the segment; the creator holds it exclusively while it sizes the
// segment. A segment nobody holds is unused, whatever its name says.
#include <cstdint>
#include <string>
#include <vector>

enum class SharedSegmentOutcome {
  Created,     // this call created the segment with the size asked for
  Attached,    // the segment existed; it keeps the size its creator gave it
  OpenFailed,  // the segment could neither be created nor opened and sized
  MapFailed,   // it was opened but could not be mapped
};

struct SharedSegment {
  SharedSegmentOutcome outcome;
  int handle;     // -1 unless mapped
  void* view;     // null unless mapped
  uint64_t size;  // bytes mapped: the segment's real size
  int error;      // the system's error number when it failed
};

// Creates the segment `name` of `size` bytes, or attaches to the existing one.
// A created segment is zero-filled and its memory is reserved at once, so a
// full shared-memory file system fails here rather than on first touch.
SharedSegment platform_shared_segment_open(const char* name, uint64_t size);
// Unmaps the view and, when that succeeded, closes the handle.
bool platform_shared_segment_close(int handle, void* view, uint64_t size);
// Removes the name; processes that still map the segment keep their memory
// until they close it. A name that is already gone counts as removed.
bool platform_shared_segment_remove(const char* name);
// Removes the segment only when no process holds it; false when it is in use
// or could not be removed.
bool platform_shared_segment_remove_unused(const char* name);
// Names of the existing segments that begin with `prefix`.
std::vector<std::string> platform_shared_segment_names(const std::string& prefix);
