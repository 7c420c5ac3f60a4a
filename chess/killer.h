#pragma once
// Killer slots: per height of the search the two most recent quiet moves that
// caused a cut-off. Work items carry them between processes as pairs of
// 16-bit moves, so the slots are plain 16-bit moves.
#include <cstdint>

#include "chess/move.h"

enum : int { KillerHeights = 256 };

struct killer_table_t {
  move_t slot[KillerHeights][2];
};

extern killer_table_t Killers;

void killer_clear();
// Slot 2 takes slot 1 and slot 1 takes the move, unless the move already is slot 1.
void killer_add(int height, int move);
// Out-of-range heights read as empty slots and are ignored on write, so
// killer lists received from other processes cannot write past the table.
move_t killer_get(int height, int slot);
void killer_set(int height, int killer1, int killer2);
