#pragma once
// Endgame bitbases through an outside library loaded at run time. The
// library owns the bitbase files and their reading; this module loads it,
// builds the argument lists of its two entry points and reads the answer.
#include <cstdint>

#include "chess/board.h"

// The library file expected in the bitbase directory (64-bit shared object).
inline constexpr char EGBB_LIBRARY_NAME[] = "egbbso64.so";
// Longest accepted library file name (directory and file name together).
enum : int { EGBB_FILE_NAME_MAX = 255 };
// Answer of the probe entry point for a position the bitbases do not hold.
enum : int { EGBB_NOT_AVAILABLE = 99999 };
// Non-king pieces the probe can describe (five-piece bitbases).
enum : int { EGBB_PIECE_SLOTS = 3 };

// Piece codes of the probe's argument list.
enum : int {
  EGBB_EMPTY = 0,
  EGBB_WHITE_QUEEN = 2, EGBB_WHITE_ROOK = 3, EGBB_WHITE_BISHOP = 4, EGBB_WHITE_KNIGHT = 5, EGBB_WHITE_PAWN = 6,
  EGBB_BLACK_QUEEN = 8, EGBB_BLACK_ROOK = 9, EGBB_BLACK_BISHOP = 10, EGBB_BLACK_KNIGHT = 11, EGBB_BLACK_PAWN = 12,
};

// Entry points of the library.
extern "C" {
using load_egbb_5men_t = void (*)(const char* path, int cache_bytes, int load_options);
using probe_egbb_5men_t = int (*)(int side, int white_king, int black_king, int piece1, int square1,
                                  int piece2, int square2, int piece3, int square3);
}

// True while a library is loaded; the search probes only then.
extern bool egbb_loaded;

// Unloads any loaded library, then loads "<path>egbbso64.so" (the path is
// used as given, so it ends with '/') and hands it the path and the cache
// size (bytes, capped to the entry point's int range). Returns and stores in
// egbb_loaded whether the library is ready. A file name longer than
// EGBB_FILE_NAME_MAX or a missing entry point is a failed load.
bool egbb_load(const char* path, int64_t cache_bytes);
// Releases the library; egbb_loaded becomes false.
void egbb_unload();

// Cache size in bytes for a size in megabytes, computed in 64 bits.
constexpr int64_t egbb_cache_bytes(int megabytes) { return static_cast<int64_t>(megabytes) << 20; }

// Asks the library for the position's value (side to move's view). False when
// no library is loaded, when the position has more non-king pieces than the
// probe describes, or when the library does not hold it.
bool egbb_probe(const board_state_t& board, int* value);
