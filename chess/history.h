#pragma once
// History tables: per moving piece and destination, how often a quiet move
// caused a cut-off (History, raised by depth squared) and how often it was
// the cut-off move when tried (HistHit out of HistTot). The block may be
// private or a host-wide shared segment, and its arrays travel between
// processes unchanged, so its layout is exact.
#include <cstddef>
#include <cstdint>

#include "chess/board.h"

enum : int {
  HistorySize = 768,        // 12 pieces x 64 destinations
  HistoryMax = 16384,       // History entries stay below; HistTot stays at or below HistoryMax - 1
  HistoryProbMax = 16384,   // history_prob of a move that always cut off
};

struct history_block_t {
  int32_t nRank;                  // shared block: rank of the process that wrote last
  uint16_t History[HistorySize];
  uint16_t HistHit[HistorySize];
  uint16_t HistTot[HistorySize];
};
static_assert(sizeof(history_block_t) == 4612);
static_assert(offsetof(history_block_t, History) == 4);
static_assert(offsetof(history_block_t, HistHit) == 4 + 2 * HistorySize);
static_assert(offsetof(history_block_t, HistTot) == 4 + 4 * HistorySize);

// Source of the block's memory. The private provider uses my_malloc; the
// shared-memory layer installs one that maps the host-wide segment.
struct history_memory_t {
  history_block_t* (*acquire)();
  void (*release)(history_block_t* block);
  bool bShared;  // the block is seen by other processes of the host
};

// Hand-over points to the table-sharing layer. All members may be null/false,
// which is the private, unshared, non-broadcasting process.
struct history_sharing_t {
  // Named lock around every update, probability read and reset; both null
  // when access is not synchronised.
  void (*lock)();
  void (*unlock)();
  // Called after an update (outside the lock) when increments are broadcast;
  // each returns the error code of the broadcast it may have triggered.
  int32_t (*accumulate_history)(int index, int amount);
  int32_t (*accumulate_hist_tot)(int index, bool hit);
  // Called after every block reset (the sharing layer marks its tables ready).
  void (*reset_done)();
};

// The process-wide block; null until history_alloc.
extern history_block_t* gpHistory;

extern const history_memory_t HistoryPrivateMemory;

// The process using the tables: its rank is stamped into a shared block's
// header on every write, and the clearing step resets the block every time
// on the root master. Until told otherwise: rank -1, not the root master.
void history_set_owner(int32_t nRank, bool bRootMaster);
// Selects the memory used by the next history_alloc; nullptr selects private memory.
void history_set_memory(const history_memory_t* provider);
// Installs the sharing hooks; nullptr removes them all.
void history_set_sharing(const history_sharing_t* sharing);

// Takes the block from the selected provider (releasing an earlier one); a
// private block is reset, a shared one keeps what it holds. A shared provider
// without memory leaves the process with a private block. history_free gives
// the block back to where it came from.
void history_alloc();
void history_free();
bool history_is_shared();

// Index of a move: 64 x 12-index of the moving piece + destination 0..63;
// -1 when the origin holds no piece (the updates then do nothing).
int history_index(int move, const board_state_t& board);

// A quiet move caused a cut-off: killers of the height, History += depth^2.
void good_move(int move, const board_state_t& board, int depth, int height);
// A quiet move was (history_good) or was not (history_bad) the cut-off move.
void history_good(int move, const board_state_t& board);
void history_bad(int move, const board_state_t& board);
// 16384 x HistHit / HistTot of the move's index, always in 0..16384.
int history_prob(int move, const board_state_t& board);

// The clearing step, run at late initialisation, after every search and on a
// synchronised position: clears the killers, and resets the block on the root
// master every time, elsewhere only while the start-up reset is still pending.
void history_reset();
// The block reset alone: History = 0, HistHit = HistTot = 1.
void history_block_reset();
// Number of block resets done by this process (the first one marks the
// tables ready for merging received increments).
int history_reset_count();

// Tables received from other processes. Increments (bReplace false) are
// added: History halves all its entries when one reaches HistoryMax, a
// HistTot entry reaching HistoryMax halves itself and its HistHit entry.
// Whole tables (bReplace true) take the place of the process's own. A null
// table is left alone; counts above HistorySize are cut. Runs under the
// history lock.
struct history_received_t {
  const uint16_t* History;
  int nHistoryCount;
  const uint16_t* HistTot;
  int nHistTotCount;
  const uint16_t* HistHit;
  int nHistHitCount;
  bool bReplace;
};
void history_merge_received(const history_received_t& received);
