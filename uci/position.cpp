#include "uci/position.h"

#include <cstring>

#include "search/driver.h"

namespace {
constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
}

void parse_position(char* line) {
  char* fen = std::strstr(line, "fen ");
  char* moves = std::strstr(line, "moves ");
  if (fen != nullptr) {
    fen += 4;
    if (moves != nullptr && moves > fen) moves[-1] = '\0';
  }
  search_set_input_fen(fen != nullptr ? fen : kStartFen);
}
