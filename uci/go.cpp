#include "uci/go.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/fatal.h"
#include "search/driver.h"

namespace {

// Next blank-separated token of text at *pos; empty at the end.
std::string_view next_token(const char* text, std::size_t* pos) {
  while (text[*pos] == ' ') ++*pos;
  const std::size_t start = *pos;
  while (text[*pos] != '\0' && text[*pos] != ' ') ++*pos;
  return std::string_view(text + start, *pos - start);
}

// A decimal number as far as it reads; values beyond 64 bits saturate, text
// that is not a number reads as 0.
int64_t token_to_number(std::string_view token) {
  char buffer[32];
  const std::size_t length = std::min(token.size(), sizeof buffer - 1);
  std::memcpy(buffer, token.data(), length);
  buffer[length] = '\0';
  errno = 0;
  return std::strtoll(buffer, nullptr, 10);
}

}  // namespace

void go_parameters_parse(const char* text, GoParameters& go) {
  go = GoParameters{};

  struct NumberKeyword {
    const char* name;
    int64_t GoParameters::*field;
    bool GoParameters::*given;
  };
  static constexpr NumberKeyword kNumbers[] = {
      {"binc", &GoParameters::binc, nullptr},
      {"btime", &GoParameters::btime, &GoParameters::bBtimeGiven},
      {"depth", &GoParameters::depth, nullptr},
      {"mate", &GoParameters::mate, nullptr},
      {"movestogo", &GoParameters::movestogo, nullptr},
      {"movetime", &GoParameters::movetime, &GoParameters::bMovetimeGiven},
      {"nodes", &GoParameters::nodes, nullptr},
      {"winc", &GoParameters::winc, nullptr},
      {"wtime", &GoParameters::wtime, &GoParameters::bWtimeGiven},
  };

  std::size_t pos = 0;
  for (std::string_view token = next_token(text, &pos); !token.empty(); token = next_token(text, &pos)) {
    if (token == "infinite") {
      go.bInfinite = true;
      continue;
    }
    if (token == "ponder") {
      go.bPonder = true;
      continue;
    }
    for (const NumberKeyword& keyword : kNumbers) {
      if (token != keyword.name) continue;
      const std::string_view argument = next_token(text, &pos);
      if (argument.empty()) {
        my_fatal("parse_go(): missing argument\n");
        return;
      }
      go.*keyword.field = token_to_number(argument);
      if (keyword.given != nullptr) go.*keyword.given = true;
      break;
    }
    // "searchmoves" and every other word: ignored, and so are the move
    // texts after searchmoves.
  }
}

void parse_go(const char* line) {
  GoParameters go;
  go_parameters_parse(line, go);
  // The limits hold a whole position: one record for the process, not one on
  // the stack of every "go".
  static search_limits_t limits;
  limits.board = search_input_board();
  time_allocate(go, limits.board.side_to_move, time_options_read(), limits);
  search_go(limits);
}
