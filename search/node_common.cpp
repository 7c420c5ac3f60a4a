#include "base/ybwc_manager.h"
#include "chess/legality.h"
#include "chess/piece.h"
#include "chess/see.h"
#include "search/node.h"

void node_account(int height) {
  search_current_t* const current = SearchCurrent;
  ++current->node_nb;
  ++current->node_local_nb;
  if (g_pYBWCManagerInstance != nullptr) ++g_pYBWCManagerInstance->nTotalNodes;
  --SearchInfo->check_nb_mpi_poll;
  if (height > current->max_depth) current->max_depth = height;
  if (height > current->max_height) current->max_height = height;
  if (--SearchInfo->check_nb <= 0) {
    SearchInfo->check_nb += SearchInfo->check_inc;
    search_check();
  }
}

namespace {
bool move_captures(int move, const board_state_t& board) {
  return move_is_en_passant(move) || board.squares[move_to(move)] != PIECE_EMPTY;
}
}  // namespace

int extended_depth(int depth, int move, const board_state_t& board, bool single_reply, bool in_pv, int,
                   bool extended, bool* cap_extended) {
  *cap_extended = false;
  const int captured = board.squares[move_to(move)];
  if (in_pv && captured != PIECE_EMPTY && !piece_is_pawn(captured)) {
    const int white = board.piece_count[WHITE];
    const int black = board.piece_count[BLACK];
    // Going into a pawn ending or a minimal piece ending decides games.
    if (white + black == 3 || (white == 3 && black == 2) || (white == 2 && black == 3)) return depth;
  }
  if (single_reply) return depth;
  if (move_gives_check(move, board) && (in_pv || see_at_least(move, board, -100))) return depth;
  if (in_pv && piece_is_pawn(board.squares[move_from(move)]) && move_creates_passer(move, board)) return depth;
  if (in_pv && !extended && move_captures(move, board) && see_at_least(move, board, -100)) {
    *cap_extended = true;
    return depth;
  }
  return depth - 1;
}

bool node_mate_distance(const board_state_t& board, int height, int* alpha, int* beta, int* value) {
  int v = node_mated(height + 2);
  if (v > *alpha && position_is_mate(board)) v = node_mated(height);
  if (v > *alpha) {
    *alpha = v;
    if (v >= *beta) {
      *value = v;
      return true;
    }
  }
  v = ValueMate - 1 - (HeightOffset + height);
  if (v < *beta) {
    *beta = v;
    if (v <= *alpha) {
      *value = v;
      return true;
    }
  }
  return false;
}
