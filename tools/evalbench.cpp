// quorrel-evalbench [GAMES_PER_START] [PLIES] [PASSES]
// Evaluation speed over a fixed set of positions (random legal play with a
// fixed seed from the start position and the perft positions), with cold
// caches (emptied before every pass) and warm ones, and the hit rates of the
// material and pawn caches in both cases.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "base/option.h"
#include "chess/board.h"
#include "chess/eval.h"
#include "chess/make.h"
#include "chess/material.h"
#include "chess/movegen.h"
#include "chess/pawn.h"
#include "chess/value.h"
#include "uci/engine_init.h"

namespace {

const char* const start_fens[] = {
    START_FEN,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
};

struct pass_result_t {
  double seconds;
  uint64_t evaluations;
  cache_stats_t material, pawn;
  int64_t checksum;
};

pass_result_t run(const std::vector<std::unique_ptr<board_state_t>>& positions, int passes, bool cold) {
  pass_result_t result{};
  material_cache_stats_reset();
  pawn_cache_stats_reset();
  auto begin = std::chrono::steady_clock::now();
  for (int pass = 0; pass < passes; ++pass) {
    if (cold) {
      material_clear();
      pawn_clear();
    }
    for (const auto& board : positions) result.checksum += eval_position(*board, -ValueInf, ValueInf);
    result.evaluations += positions.size();
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  result.material = material_cache_stats();
  result.pawn = pawn_cache_stats();
  return result;
}

double rate(const cache_stats_t& stats) { return stats.probes ? 100.0 * stats.hits / stats.probes : 0.0; }

void print(const char* label, const pass_result_t& r) {
  std::printf("%-5s %10" PRIu64 " evals %8.3f s %12.0f evals/s  material hits %6.2f %%  pawn hits %6.2f %%\n",
              label, r.evaluations, r.seconds, r.evaluations / r.seconds, rate(r.material), rate(r.pawn));
}

}  // namespace

int main(int argc, char** argv) {
  int games = argc > 1 ? std::atoi(argv[1]) : 10;
  int plies = argc > 2 ? std::atoi(argv[2]) : 60;
  int passes = argc > 3 ? std::atoi(argv[3]) : 20;
  if (games < 1 || plies < 1 || passes < 1 || games > 1000 || plies > 1000) {
    std::fprintf(stderr, "usage: quorrel-evalbench [GAMES_PER_START 1..1000] [PLIES 1..1000] [PASSES]\n");
    return 2;
  }
  option_reset_all();
  eval_init();
  eval_configure(eval_settings_from_options());
  material_alloc();
  pawn_alloc();

  std::vector<std::unique_ptr<board_state_t>> positions;
  std::mt19937 random(12345);
  for (const char* fen : start_fens) {
    for (int game = 0; game < games; ++game) {
      auto board = std::make_unique<board_state_t>();
      board_from_fen(*board, fen);
      for (int ply = 0; ply < plies; ++ply) {
        move_list_t list;
        list.count = 0;
        movegen_legal(list, *board);
        if (list.count == 0) break;
        board_play_move(*board, list.moves[random() % list.count]);
        positions.push_back(std::make_unique<board_state_t>(*board));
      }
    }
  }
  std::printf("%zu positions, %d passes\n", positions.size(), passes);
  pass_result_t cold = run(positions, passes, true);
  pass_result_t warm = run(positions, passes, false);
  print("cold", cold);
  print("warm", warm);
  std::printf("checksum %" PRId64 "\n", cold.checksum / passes);
  material_release();
  pawn_release();
  option_release_all();
  return cold.checksum == warm.checksum ? 0 : 1;
}
