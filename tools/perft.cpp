// quorrel-perft [--divide] [--bulk] "FEN" DEPTH
// Prints the leaf count alone on the last line; with --divide the count below
// each root move first.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "chess/board.h"
#include "chess/make.h"
#include "chess/movegen.h"
#include "chess/perft.h"

namespace {
int usage() {
  std::fprintf(stderr, "usage: quorrel-perft [--divide] [--bulk] [--time] \"FEN\" DEPTH\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  bool divide = false, bulk = false, timed = false;
  const char* fen = nullptr;
  const char* depth_text = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--divide") == 0) divide = true;
    else if (std::strcmp(argv[i], "--bulk") == 0) bulk = true;
    else if (std::strcmp(argv[i], "--time") == 0) timed = true;
    else if (fen == nullptr) fen = argv[i];
    else if (depth_text == nullptr) depth_text = argv[i];
    else return usage();
  }
  if (fen == nullptr || depth_text == nullptr) return usage();
  char* end = nullptr;
  long depth = std::strtol(depth_text, &end, 10);
  if (*end != '\0' || depth < 0 || depth > 20) return usage();

  static board_state_t board;  // large record: keep it off the stack
  board_from_fen(board, std::strcmp(fen, "startpos") == 0 ? START_FEN : fen);

  auto start = std::chrono::steady_clock::now();
  uint64_t total = 0;
  if (divide && depth > 0) {
    move_list_t list;
    list.count = 0;
    movegen_legal(list, board);
    undo_record_t undo;
    char text[8];
    for (int i = 0; i < list.count; ++i) {
      move_make(board, list.moves[i], undo);
      uint64_t count = perft(board, static_cast<int>(depth) - 1, bulk);
      move_unmake(board, list.moves[i], undo);
      std::printf("%s %" PRIu64 "\n", move_to_text(list.moves[i], text), count);
      total += count;
    }
  } else {
    total = perft(board, static_cast<int>(depth), bulk);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (timed) std::fprintf(stderr, "%.3f s, %.0f nodes/s\n", seconds, seconds > 0 ? total / seconds : 0.0);
  std::printf("%" PRIu64 "\n", total);
  return 0;
}
