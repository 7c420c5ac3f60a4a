#include "search/time_control.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/fatal.h"
#include "base/option.h"

namespace {

constexpr int kMovesToGoDefault = 30;
constexpr int kDepthMax = 1000;

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
  go.binc = go.btime = go.depth = go.mate = go.movestogo = kGoNotGiven;
  go.movetime = go.nodes = go.winc = go.wtime = kGoNotGiven;

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

TimeOptions time_options_read() {
  TimeOptions options{};
  options.nSearchDepth = option_get_int("Search Depth");
  options.nSearchTime = option_get_int("Search Time");
  options.bPonder = option_get_bool("Ponder");
  return options;
}

TimeAllocation time_allocate(const GoParameters& go, int side_to_move, const TimeOptions& options) {
  TimeAllocation limits{};

  int64_t depth = options.nSearchDepth;
  if (depth < 1) depth = go.depth;
  if (depth >= 0) {
    limits.bDepthIsLimited = true;
    limits.nDepthLimit = static_cast<int32_t>(std::min<int64_t>(depth, kDepthMax));
  } else if (go.mate >= 0) {
    limits.bDepthIsLimited = true;
    limits.nDepthLimit = static_cast<int32_t>(std::min<int64_t>(2 * std::min<int64_t>(go.mate, kDepthMax) - 1, kDepthMax));
  } else if (go.depth != kGoNotGiven) {
    // A negative depth that was given: the shallowest search there is.
    limits.bDepthIsLimited = true;
    limits.nDepthLimit = 0;
  }

  int64_t movestogo = go.movestogo;
  if (movestogo < 1 || movestogo > kMovesToGoDefault) movestogo = kMovesToGoDefault;
  const double inc = std::max<double>(0.0, static_cast<double>(side_to_move == 0 ? go.winc : go.binc) / 1000.0);

  double t = -1.0;
  if (options.nSearchTime > 0) {
    t = options.nSearchTime;
  } else if (go.bMovetimeGiven) {
    t = std::max<double>(0.0, static_cast<double>(go.movetime) / 1000.0);
  }
  const bool clock_given = side_to_move == 0 ? go.bWtimeGiven : go.bBtimeGiven;
  if (t >= 0.0) {
    limits.bTimeIsLimited = true;
    limits.dTimeLimit1 = t;
    limits.dTimeLimit2 = 5.0 * t;
  } else if (clock_given) {
    const double time = std::max<double>(0.0, static_cast<double>(side_to_move == 0 ? go.wtime : go.btime) / 1000.0);
    const double time_max = std::max(0.0, 0.95 * time - 1.0);
    const double total = time_max + inc * static_cast<double>(movestogo - 1);
    limits.bTimeIsLimited = true;
    limits.dTimeLimit1 = std::min(time_max, total / static_cast<double>(movestogo) * (options.bPonder ? 1.25 : 1.0));
    limits.dTimeLimit2 = std::min(time_max, std::max(limits.dTimeLimit1, total * 0.5));
  }

  limits.bInfinite = go.bInfinite || go.bPonder;
  return limits;
}
