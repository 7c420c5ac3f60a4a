#include "chess/killer.h"

#include <cstring>

killer_table_t Killers;

void killer_clear() { std::memset(&Killers, 0, sizeof(Killers)); }

void killer_add(int height, int move) {
  if (height < 0 || height >= KillerHeights) return;
  move_t* slot = Killers.slot[height];
  if (slot[0] == move) return;
  slot[1] = slot[0];
  slot[0] = static_cast<move_t>(move);
}

move_t killer_get(int height, int slot) {
  if (height < 0 || height >= KillerHeights || slot < 0 || slot > 1) return MOVE_NONE;
  return Killers.slot[height][slot];
}

void killer_set(int height, int killer1, int killer2) {
  if (height < 0 || height >= KillerHeights) return;
  Killers.slot[height][0] = static_cast<move_t>(killer1);
  Killers.slot[height][1] = static_cast<move_t>(killer2);
}
