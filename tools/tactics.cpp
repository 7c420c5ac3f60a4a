// quorrel-tactics: the tactical-suite score. For every EPD line it converts
// the best moves ("bm", in SAN) with the chess core's reader, searches
// the position for a fixed time in this process and counts the solved ones.
//   quorrel-tactics file.epd [milliseconds per position] [first] [count]
// Progress and the final "solved N of M" go to standard error; the search's
// own UCI lines go to standard output.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/configuration.h"
#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/board.h"
#include "chess/san.h"
#include "cluster/mpi_wrapper.h"
#include "frame/lifecycle.h"
#include "frame/manager_init.h"
#include "search/driver.h"
#include "search/search_records.h"
#include "search/time_control.h"
#include "uci/engine_init.h"
#include "uci/search_output.h"

namespace {

std::vector<std::string> operation_words(const std::string& line, const std::string& opcode) {
  std::vector<std::string> words;
  const auto at = line.find(" " + opcode + " ");
  if (at == std::string::npos) return words;
  const auto end = line.find(';', at);
  std::istringstream in(line.substr(at + opcode.size() + 2, end - at - opcode.size() - 2));
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quorrel-tactics file.epd [ms per position] [first] [count]\n");
    return 2;
  }
  const std::string file = argv[1];
  const int milliseconds = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int first = argc > 3 ? std::atoi(argv[3]) : 1;
  const int count = argc > 4 ? std::atoi(argv[4]) : 1000000;
  std::ifstream epd(file);
  if (!epd) {
    std::fprintf(stderr, "quorrel-tactics: cannot read %s\n", file.c_str());
    return 2;
  }

  option_reset_all();
  int mpi_argc = 1;
  if (MPIWrapper_Init(&mpi_argc, &argv) != 0) return 1;
  YBWCManager* manager = YBWCManager_GetInstance();
  if (YBWCManager_Init(manager, &mpi_argc, &argv) != 0) {
    finalize_environment("finalizing environment...\n");
    return 1;
  }
  option_set_value("OwnBook", "false");
  option_set_value("Use Event", "false");
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  engine_startup();
  init_engine_once();

  search_output_install();
  GoParameters go;
  go.movetime = milliseconds;
  go.bMovetimeGiven = true;
  search_limits_t limits{};
  int number = 0, tried = 0, solved = 0;
  for (std::string line; std::getline(epd, line);) {
    if (line.empty()) continue;
    ++number;
    if (number < first || number >= first + count) continue;
    std::istringstream fields(line);
    std::string placement, side, castling, ep;
    fields >> placement >> side >> castling >> ep;
    const std::string fen = placement + " " + side + " " + castling + " " + ep + " 0 1";
    search_set_input_fen(fen.c_str());
    const board_state_t& board = search_input_board();
    std::vector<int> best_moves;
    for (const std::string& san : operation_words(line, "bm")) {
      const int move = move_from_san(san, board);
      if (move == MOVE_NONE) std::fprintf(stderr, "line %d: cannot read bm %s\n", number, san.c_str());
      else best_moves.push_back(move);
    }
    if (best_moves.empty()) continue;
    engine_clear_transposition_table();
    limits.board = board;
    time_allocate(go, board.side_to_move, time_options_read(), limits);
    search_go(limits);
    ++tried;
    bool ok = false;
    for (int move : best_moves) ok = ok || move == SearchBest[0].move;
    solved += ok;
    const auto id = operation_words(line, "id");
    std::fprintf(stderr, "%s %s\n", id.empty() ? std::to_string(number).c_str() : id[0].c_str(), ok ? "solved" : "missed");
  }
  std::fprintf(stderr, "solved %d of %d\n", solved, tried);
  finalize_environment("finalizing environment...\n");
  return 0;
}
