#include "search/time_control.h"

#include <algorithm>

#include "base/option.h"

namespace {

constexpr int kMovesToGoDefault = 30;
constexpr int kDepthMax = 1000;

}  // namespace

TimeOptions time_options_read() {
  TimeOptions options{};
  options.nSearchDepth = option_get_int("Search Depth");
  options.nSearchTime = option_get_int("Search Time");
  options.bPonder = option_get_bool("Ponder");
  return options;
}

void time_allocate(const GoParameters& go, int side_to_move, const TimeOptions& options, search_limits_t& limits) {
  limits.bDepthIsLimited = false;
  limits.nDepthLimit = 0;
  limits.bTimeIsLimited = false;
  limits.dTimeLimit1 = 0.0;
  limits.dTimeLimit2 = 0.0;

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
}
