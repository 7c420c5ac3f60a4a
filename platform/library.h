#pragma once
// Shared libraries loaded at run time by file name (the endgame-bitbase
// library is optional and only present on some installations).

// Opaque handle of a loaded library; null when loading failed.
using platform_library_t = void*;

// Loads the library file; null when it cannot be loaded.
platform_library_t platform_library_open(const char* path);
// Address of an exported symbol, or null when the library does not export it.
void* platform_library_symbol(platform_library_t handle, const char* name);
// Releases the library; a null handle is ignored.
void platform_library_close(platform_library_t handle);
