#include "platform/shm_directory.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct Entry {
  std::string path;
  pid_t owner;
};

// Reached from the exit handler, after static destructors may have run:
// kept on the heap and never destroyed.
std::vector<Entry>& entries() {
  static auto* list = new std::vector<Entry>;
  return *list;
}

void remove_remaining() {
  const pid_t self = getpid();
  for (const Entry& entry : entries())
    if (entry.owner == self) unlink(entry.path.c_str());
  entries().clear();
}

}  // namespace

std::vector<std::string> platform_shm_directory_list(const std::string& prefix, const std::string& suffix) {
  std::vector<std::string> names;
  DIR* directory = opendir(kSharedMemoryDirectory);
  if (directory == nullptr) return names;
  while (const dirent* entry = readdir(directory)) {
    const std::string file = entry->d_name;
    if (file.size() >= prefix.size() + suffix.size() && file.compare(0, prefix.size(), prefix) == 0 &&
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
      names.push_back(file.substr(0, file.size() - suffix.size()));
  }
  closedir(directory);
  return names;
}

void platform_remove_at_exit(const std::string& path) {
  static const bool registered = std::atexit(remove_remaining) == 0;
  (void)registered;
  platform_forget_at_exit(path);
  entries().push_back({path, getpid()});
}

void platform_forget_at_exit(const std::string& path) {
  auto& list = entries();
  list.erase(std::remove_if(list.begin(), list.end(), [&](const Entry& e) { return e.path == path; }), list.end());
}
