// quorrel-pickbench [EPD [DEPTH [REPEAT]]]
// Move-picker throughput over the perft suite (default tests/data/perft.epd,
// run from the source tree): every node of each position's
// tree down to DEPTH (default 3) is drained REPEAT times (default 5) by the
// full-search picker and by the quiescence picker with checks; prints moves
// delivered per second for each, and for the first move alone (a cut-off).
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "chess/history.h"
#include "chess/killer.h"
#include "chess/legality.h"
#include "chess/make.h"
#include "chess/sort.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Totals {
  uint64_t nodes = 0;
  uint64_t full_moves = 0, qs_moves = 0, first_moves = 0;
  double full_seconds = 0, qs_seconds = 0, first_seconds = 0;
};

int repeat_count = 5;
move_picker_t pickers[32];  // one per height, like the search stack

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void walk(board_state_t& board, int depth, int height, int hash, Totals& totals) {
  check_info_t check;
  check_info_compute(check, board);
  move_picker_t& sort = pickers[height];
  ++totals.nodes;

  auto start = Clock::now();
  for (int r = 0; r < repeat_count; ++r) {
    picker_init(sort, board, check, depth, height, hash);
    totals.first_moves += picker_next(sort, board) != MOVE_NONE;
  }
  totals.first_seconds += seconds_since(start);

  start = Clock::now();
  for (int r = 0; r < repeat_count; ++r) {
    picker_init_quiescence(sort, board, check, true);
    while (picker_next(sort, board) != MOVE_NONE) ++totals.qs_moves;
  }
  totals.qs_seconds += seconds_since(start);

  start = Clock::now();
  for (int r = 0; r < repeat_count; ++r) {
    picker_init(sort, board, check, depth, height, hash);
    while (picker_next(sort, board) != MOVE_NONE) ++totals.full_moves;
  }
  totals.full_seconds += seconds_since(start);
  if (depth == 0) return;

  // Recurse over the moves as the picker gives them; the first one becomes a
  // killer of the child's height, the second the child's hash move guess.
  picker_init(sort, board, check, depth, height, hash);
  int index = 0;
  for (int move; (move = picker_next(sort, board)) != MOVE_NONE; ++index) {
    if (index == 0 && !move_is_noisy(move, board)) good_move(move, board, depth, height);
    undo_record_t undo;
    move_make(board, move, undo);
    walk(board, depth - 1, height + 1, MOVE_NONE, totals);
    move_unmake(board, move, undo);
  }
}

void report(const char* what, uint64_t moves, double seconds) {
  std::printf("%-22s %12" PRIu64 " moves %8.3f s %12.0f moves/s\n", what, moves, seconds,
              seconds > 0 ? moves / seconds : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const char* epd = argc > 1 ? argv[1] : "tests/data/perft.epd";
  int depth = argc > 2 ? std::atoi(argv[2]) : 3;
  repeat_count = argc > 3 ? std::atoi(argv[3]) : 5;
  if (depth < 0 || depth > 6 || repeat_count < 1) {
    std::fprintf(stderr, "usage: quorrel-pickbench [EPD [DEPTH 0..6 [REPEAT >= 1]]]\n");
    return 2;
  }
  std::ifstream in(epd);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", epd);
    return 1;
  }
  history_alloc();
  history_block_reset();
  killer_clear();
  static board_state_t board;
  Totals totals;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    board_from_fen(board, line.substr(0, line.find(';')).c_str());
    walk(board, depth, 0, MOVE_NONE, totals);
  }
  std::printf("nodes %" PRIu64 " (depth %d, each drained %d times)\n", totals.nodes, depth, repeat_count);
  report("full picker", totals.full_moves, totals.full_seconds);
  report("quiescence (checks)", totals.qs_moves, totals.qs_seconds);
  report("first move only", totals.first_moves, totals.first_seconds);
  history_free();
  return 0;
}
