#include "platform/library.h"

#include <dlfcn.h>

platform_library_t platform_library_open(const char* path) {
  // Resolve everything at once so that a library with missing dependencies
  // fails here rather than in the middle of a search.
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* platform_library_symbol(platform_library_t handle, const char* name) {
  if (handle == nullptr) return nullptr;
  return dlsym(handle, name);
}

void platform_library_close(platform_library_t handle) {
  if (handle != nullptr) dlclose(handle);
}
