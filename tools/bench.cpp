// quorrel-bench: searches the 33 built-in test positions to a fixed depth in
// one process and ends with the total node count (a signature of the search:
// identical from run to run) and the speed.
//   quorrel-bench [depth] [hash MB]
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/configuration.h"
#include "base/option.h"
#include "base/ybwc_manager.h"
#include "cluster/mpi_wrapper.h"
#include "frame/auto_tester.h"
#include "frame/lifecycle.h"
#include "frame/manager_init.h"
#include "platform/clock.h"
#include "search/driver.h"
#include "search/search_records.h"
#include "search/time_control.h"
#include "uci/engine_init.h"
#include "uci/search_output.h"

namespace {
constexpr int kDefaultDepth = 10;
constexpr int kDefaultHashMB = 16;
}  // namespace

int main(int argc, char** argv) {
  const int depth = argc > 1 ? std::atoi(argv[1]) : kDefaultDepth;
  const int hash_mb = argc > 2 ? std::atoi(argv[2]) : kDefaultHashMB;
  if (depth < 1 || hash_mb < 4) {
    std::fprintf(stderr, "usage: quorrel-bench [depth >= 1] [hash MB >= 4]\n");
    return 2;
  }

  option_reset_all();
  // A singleton MPI start-up: the search services messages, of which there are none.
  int mpi_argc = 1;
  if (MPIWrapper_Init(&mpi_argc, &argv) != 0) {
    std::fprintf(stderr, "quorrel-bench: MPI start-up failed\n");
    return 1;
  }
  YBWCManager* manager = YBWCManager_GetInstance();
  if (YBWCManager_Init(manager, &mpi_argc, &argv) != 0) {
    finalize_environment("finalizing environment...\n");
    return 1;
  }
  // The same tree every run: no book, a fixed table size, one line.
  option_set_value("OwnBook", "false");
  option_set_value("Hash", std::to_string(hash_mb).c_str());
  option_set_value("MultiPV", "1");
  // No input is read during the searches (no input poll is installed either):
  // the bench is not driven by a GUI.
  option_set_value("Use Event", "false");
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  engine_startup();
  init_engine_once();
  engine_clear_transposition_table();
  search_output_install();

  GoParameters go;
  go.depth = depth;
  search_limits_t limits{};
  int64_t nodes = 0;
  const int64_t start_ms = platform_tick_ms();
  for (int n = 1; n <= kAutoTesterPositionCount; ++n) {
    const char* fen = AutoTester_GetTestPosition(manager->pAutoTester, n);
    if (fen == nullptr) continue;
    std::fprintf(stderr, "position %d/%d: %s\n", n, kAutoTesterPositionCount, fen);
    search_set_input_fen(fen);
    limits.board = search_input_board();
    time_allocate(go, limits.board.side_to_move, time_options_read(), limits);
    search_go(limits);
    nodes += SearchCurrent->node_nb;
  }
  const double seconds = static_cast<double>(platform_tick_ms() - start_ms) / 1000.0;

  std::fprintf(stdout, "%" PRId64 " nodes\n", nodes);
  std::fprintf(stdout, "%.0f nps\n", seconds > 0.0 ? static_cast<double>(nodes) / seconds : 0.0);
  std::fflush(stdout);
  finalize_environment("finalizing environment...\n");
  return 0;
}
