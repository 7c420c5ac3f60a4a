// Fixed-depth searches of the bench positions: prints nodes, time and speed
// per position and the total node count, which is the search's signature.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "chess/trans.h"
#include "frame/configuration.h"
#include "frame/ybwc_manager.h"
#include "search/driver.h"
#include "search/search_records.h"
#include "uci/engine_init.h"
#include "uci/option.h"

namespace {
const char* const kPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
};
}

int main(int argc, char** argv) {
  const int depth = argc > 1 ? std::atoi(argv[1]) : 9;
  option_reset_all();
  YBWCManager* manager = YBWCManager_GetInstance();
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  manager->bRootMaster = 1;
  manager->nRank = 0;
  if (Trans->table == nullptr) trans_alloc(Trans);
  engine_startup();
  init_engine_once();
  apply_option_parameters();
  int64_t total = 0;
  double seconds = 0;
  char line[32];
  std::snprintf(line, sizeof(line), "go depth %d", depth);
  for (const char* fen : kPositions) {
    trans_wipe(Trans, true);
    search_set_input_fen(fen);
    const auto start = std::chrono::steady_clock::now();
    parse_go(line);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    total += SearchCurrent->node_nb;
    seconds += elapsed;
    std::fprintf(stderr, "depth %d nodes %" PRId64 " time %.2f nps %.0f value %d\n", depth, SearchCurrent->node_nb,
                 elapsed, SearchCurrent->node_nb / (elapsed > 0 ? elapsed : 1), SearchBest[0].value);
  }
  std::fprintf(stderr, "total nodes %" PRId64 " time %.2f nps %.0f\n", total, seconds, total / seconds);
  return 0;
}
