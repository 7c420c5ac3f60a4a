#include "chess/perft.h"

#include "chess/make.h"
#include "chess/movegen.h"

uint64_t perft(board_state_t& board, int depth, bool bulk) {
  if (depth <= 0) return 1;
  if (bulk && depth == 1) return static_cast<uint64_t>(movegen_legal_count(board));
  move_list_t list;
  list.count = 0;
  movegen_legal(list, board);
  if (depth == 1 && bulk) return static_cast<uint64_t>(list.count);
  uint64_t nodes = 0;
  undo_record_t undo;
  for (int i = 0; i < list.count; ++i) {
    move_make(board, list.moves[i], undo);
    nodes += perft(board, depth - 1, bulk);
    move_unmake(board, list.moves[i], undo);
  }
  return nodes;
}
