#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/shm_directory.h"

namespace {

// An attaching process waits up to about 10 s for a creator that sizes the
// segment (reserving a large one takes a while). A segment that stays
// unsized, with nobody sizing it, was left by a creator that died in the
// instant between creating and sizing it: after about 1 s it counts as a
// failure.
constexpr int kSizingWaitSteps = 10000;
constexpr int kUnsizedAttempts = 1000;
constexpr long kRetryPauseNs = 1000000;  // 1 ms

std::string slash_name(const char* name) { return std::string("/") + name; }
std::string path_of(const char* name) { return std::string(kSharedMemoryDirectory) + name; }

void pause_ns(long nanoseconds) {
  timespec request{0, nanoseconds};
  nanosleep(&request, nullptr);
}

// flock that gives up after a bounded wait instead of waiting forever for a
// holder that hangs.
bool lock_with_patience(int fd, int operation) {
  for (int step = 0; step < kSizingWaitSteps; ++step) {
    if (flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    pause_ns(kRetryPauseNs);
  }
  errno = ETIMEDOUT;
  return false;
}

// Best effort: the name is removed right after anyway.
void discard_size(int fd) {
  if (ftruncate(fd, 0) != 0) return;
}

SharedSegment failure(SharedSegmentOutcome outcome, int error) { return {outcome, -1, nullptr, 0, error}; }

SharedSegment map_segment(SharedSegmentOutcome outcome, int fd, uint64_t size) {
  void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) return failure(SharedSegmentOutcome::MapFailed, errno);
  return {outcome, fd, view, size, 0};
}

// The creator sizes the segment under its exclusive hold. The memory is
// reserved, not just sized: a sparse segment on a full file system would
// only fail when a page is first touched, with SIGBUS in the middle of a
// search. On failure the size goes back to 0 before the name is removed, so a
// process that attached meanwhile sees an unusable segment and starts over.
SharedSegment create_segment(const char* name, int fd, uint64_t size) {
  int error = 0;
  if (!lock_with_patience(fd, LOCK_EX)) {
    error = errno;
  } else if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
    error = errno;
  } else {
    error = posix_fallocate(fd, 0, static_cast<off_t>(size));
  }
  if (error != 0) {
    discard_size(fd);
    shm_unlink(slash_name(name).c_str());
    close(fd);
    return failure(SharedSegmentOutcome::OpenFailed, error);
  }
  SharedSegment segment = map_segment(SharedSegmentOutcome::Created, fd, size);
  if (segment.view == nullptr) {
    shm_unlink(slash_name(name).c_str());
    close(fd);
    return segment;
  }
  platform_remove_at_exit(path_of(name));
  flock(fd, LOCK_SH);  // sized: others may attach now
  return segment;
}

}  // namespace

SharedSegment platform_shared_segment_open(const char* name, uint64_t size) {
  const std::string shm_name = slash_name(name);
  for (int attempt = 0; attempt < kUnsizedAttempts; ++attempt) {
    int fd = shm_open(shm_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return create_segment(name, fd, size);
    if (errno != EEXIST) return failure(SharedSegmentOutcome::OpenFailed, errno);

    fd = shm_open(shm_name.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
      if (errno == ENOENT) continue;  // removed since: try to create it
      return failure(SharedSegmentOutcome::OpenFailed, errno);
    }
    // Waits while the creator sizes it.
    if (!lock_with_patience(fd, LOCK_SH)) {
      const int error = errno;
      close(fd);
      return failure(SharedSegmentOutcome::OpenFailed, error);
    }
    struct stat status {};
    if (fstat(fd, &status) != 0) {
      const int error = errno;
      close(fd);
      return failure(SharedSegmentOutcome::OpenFailed, error);
    }
    if (status.st_size > 0) {
      SharedSegment segment = map_segment(SharedSegmentOutcome::Attached, fd, static_cast<uint64_t>(status.st_size));
      if (segment.view == nullptr) close(fd);
      return segment;
    }
    // Created but not sized yet, or its creator failed: look again.
    close(fd);
    pause_ns(kRetryPauseNs);
  }
  return failure(SharedSegmentOutcome::OpenFailed, ETIMEDOUT);
}

bool platform_shared_segment_close(int handle, void* view, uint64_t size) {
  if (munmap(view, size) != 0) return false;
  return close(handle) == 0;
}

bool platform_shared_segment_remove(const char* name) {
  platform_forget_at_exit(path_of(name));
  return shm_unlink(slash_name(name).c_str()) == 0 || errno == ENOENT;
}

bool platform_shared_segment_remove_unused(const char* name) {
  const int fd = shm_open(slash_name(name).c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return false;
  bool removed = false;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) removed = shm_unlink(slash_name(name).c_str()) == 0;
  close(fd);
  return removed;
}

std::vector<std::string> platform_shared_segment_names(const std::string& prefix) {
  return platform_shm_directory_list(prefix, "");
}
