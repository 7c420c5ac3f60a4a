#pragma once
// Time allocation: turns the clocks, increments and options of a search
// request into a soft and a hard time limit and a depth limit.
#include <cstdint>

#include "search/search_records.h"

// A value that was not given.
constexpr int64_t kGoNotGiven = -1;

// The parameters of a "go" command (uci/ reads them from the command line;
// a tool sets the ones it needs).
struct GoParameters {
  int64_t binc = kGoNotGiven;
  int64_t btime = kGoNotGiven;
  int64_t depth = kGoNotGiven;
  int64_t mate = kGoNotGiven;
  int64_t movestogo = kGoNotGiven;
  int64_t movetime = kGoNotGiven;
  int64_t nodes = kGoNotGiven;
  int64_t winc = kGoNotGiven;
  int64_t wtime = kGoNotGiven;
  bool bInfinite = false;
  bool bPonder = false;
  // A clock or a move time that was given but negative still counts as given:
  // it means no time left, not an unlimited search.
  bool bBtimeGiven = false;
  bool bWtimeGiven = false;
  bool bMovetimeGiven = false;
};

// The option values the allocation depends on.
struct TimeOptions {
  int32_t nSearchDepth;  // "Search Depth": overrides the depth argument when >= 1
  int32_t nSearchTime;   // "Search Time" in seconds: overrides movetime when > 0
  bool bPonder;          // "Ponder": the soft limit is 25% longer
};

TimeOptions time_options_read();

// Sets the depth limit, the soft limit dTimeLimit1 (no new iteration after
// it), the hard limit dTimeLimit2 (the search is abandoned) and bInfinite
// ("infinite" or "ponder") of `limits`; its position and line count are left
// alone. side_to_move: 0 white, 1 black.
void time_allocate(const GoParameters& go, int side_to_move, const TimeOptions& options, search_limits_t& limits);
