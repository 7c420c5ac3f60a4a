#include "chess/see.h"

#include <algorithm>

#include "chess/attack.h"

namespace {

enum : int { KING_VALUE = 10000, QUEEN_VALUE = 1000 };

// Inserts keeping the list ordered by descending piece code, so the least
// valuable attacker is taken from the end. A full list ignores the square:
// a colour owns at most SeeListSize pieces, so this only guards the array.
void list_add(see_list_t& list, const board_state_t& board, int sq) {
  if (list.count >= SeeListSize) return;
  int code = board.squares[sq];
  int i = list.count++;
  while (i > 0 && board.squares[list.square[i - 1]] < code) {
    list.square[i] = list.square[i - 1];
    --i;
  }
  list.square[i] = sq;
}

// A slider behind `sq` on the line from `to` joins the exchange once the piece
// on `sq` has left. `sq` itself stays on the board (nothing is made), so the
// walk starts beyond it.
void add_hidden(see_list_t lists[2], const board_state_t& board, int to, int sq) {
  int step = delta_step_line[sq - to + DELTA_OFFSET];
  if (step == 0) return;
  int s = ray_blocker(board, sq, step);
  int code = board.squares[s];
  if ((code & step_slider_mask[step + 17]) == 0 || (code & 3) == 0) return;
  list_add(lists[piece_colour(code)], board, s);
}

// Every piece of `colour` attacking `to` directly (king included), then its
// pawns; `skip` (the moving piece) is left out.
void collect_attackers(see_list_t& list, const board_state_t& board, int to, int colour, int skip) {
  for (const int32_t* p = board.piece_list[colour]; *p != 0; ++p) {
    int sq = *p;
    if (sq != skip && piece_attacks_square(board, board.squares[sq], sq, to)) list_add(list, board, sq);
  }
  int pawn = pawn_code[colour];
  int behind = to - pawn_step[colour];
  for (int sq : {behind - 1, behind + 1})
    if (sq != skip && board.squares[sq] == pawn) list_add(list, board, sq);
}

// Best result for the side to recapture now, which may also stand pat (0).
// `on_to` is the value of the piece currently on the destination. The
// captures are played forward, each side taking with its least valuable
// attacker, and the stand-pat choices are folded back from the last one.
int see_rec(see_list_t lists[2], int side, const board_state_t& board, int to, int on_to) {
  // Every capture removes an attacker of one of the lists, and each piece on
  // the board joins a list at most once.
  int wins[2 * SeeListSize + 1];
  int depth = 0;
  int result = 0;
  while (depth < 2 * SeeListSize) {
    see_list_t& list = lists[side];
    if (list.count == 0) break;
    int sq = list.square[--list.count];
    add_hidden(lists, board, to, sq);
    if (on_to == KING_VALUE) {
      result = KING_VALUE;  // the king is taken: the exchange ends here
      break;
    }
    int win = on_to;
    int code = board.squares[sq];
    int value = piece_value[code];
    if (piece_is_pawn(code) && square_promotion_rank[to]) {
      value = QUEEN_VALUE;
      win += QUEEN_VALUE - 100;
    }
    wins[depth++] = win;
    on_to = value;
    side ^= 1;
  }
  while (depth > 0) result = std::max(0, wins[--depth] - result);
  return result;
}

// The exchange on a move's destination before anyone recaptures: the
// material won so far, the value of the piece now standing there, and the
// pieces behind the mover (and behind a pawn taken en passant) that join in.
struct see_start_t {
  int to;
  int me;
  int gain;
  int mover_value;
  see_list_t lists[2];
};

void see_begin(see_start_t& s, int move, const board_state_t& board) {
  int from = move_from(move);
  int to = move_to(move);
  int code = board.squares[from];
  s.to = to;
  s.me = piece_colour(code);
  s.lists[0].count = 0;
  s.lists[1].count = 0;
  s.mover_value = piece_value[code];
  s.gain = piece_value[board.squares[to]];
  if (move_is_promotion(move)) {
    s.mover_value = piece_value[promotion_flags[move_promotion_bits(move)] | colour_flag(s.me)];
    s.gain += s.mover_value - 100;
  }
  if (move_is_en_passant(move)) s.gain += 100;
}

void see_add_hidden(see_start_t& s, int move, const board_state_t& board) {
  add_hidden(s.lists, board, s.to, move_from(move));
  if (move_is_en_passant(move)) add_hidden(s.lists, board, s.to, s.to - pawn_step[s.me]);
}

}  // namespace

int see_exchange(int move, const board_state_t& board) {
  see_start_t s;
  see_begin(s, move, board);
  see_add_hidden(s, move, board);
  int opp = s.me ^ 1;
  collect_attackers(s.lists[opp], board, s.to, opp, 0);
  if (s.lists[opp].count == 0) return s.gain;
  collect_attackers(s.lists[s.me], board, s.to, s.me, move_from(move));
  return s.gain - see_rec(s.lists, opp, board, s.to, s.mover_value);
}

bool see_at_least(int move, const board_state_t& board, int threshold) {
  see_start_t s;
  see_begin(s, move, board);
  int opp = s.me ^ 1;
  // Away from the promotion ranks no capture is worth more than the piece it
  // takes, so the opponent's recaptures cost the mover at most its own value,
  // and a recapture by a pawn leaves the mover at most a pawn back.
  if (!square_promotion_rank[s.to]) {
    if (s.gain - s.mover_value >= threshold) return true;
    const int behind = s.to - pawn_step[opp];
    if ((board.squares[behind - 1] == pawn_code[opp] || board.squares[behind + 1] == pawn_code[opp]) &&
        s.gain - s.mover_value + 100 < threshold)
      return false;
  }
  see_add_hidden(s, move, board);
  see_list_t& defenders = s.lists[opp];
  collect_attackers(defenders, board, s.to, opp, 0);
  if (defenders.count == 0) return s.gain >= threshold;
  // The opponent can take back with its least valuable attacker and keep at
  // least the mover less that attacker; away from the promotion ranks no
  // recapture adds to it, so the exchange cannot end above this bound.
  if (!square_promotion_rank[s.to]) {
    int cheapest = piece_value[board.squares[defenders.square[defenders.count - 1]]];
    if (s.gain - s.mover_value + cheapest < threshold) return false;
  }
  collect_attackers(s.lists[s.me], board, s.to, s.me, move_from(move));
  return s.gain - see_rec(s.lists, opp, board, s.to, s.mover_value) >= threshold;
}

bool capture_is_safe(int move, const board_state_t& board) {
  if (move_is_en_passant(move)) return true;
  if (move_is_promotion(move) && (move & 0xF000) != MOVE_PROMOTE_QUEEN) return false;
  int mover = board.squares[move_from(move)];
  if (piece_value[board.squares[move_to(move)]] >= piece_value[mover]) return true;
  return see_at_least(move, board, 0);
}
