#pragma once
// The limits of one search: the parameters of a "go" command and the time
// allocation that turns clocks, increments and options into a soft and a
// hard time limit and a depth limit.
#include <cstdint>

// A value that was not given on the command line.
constexpr int64_t kGoNotGiven = -1;

struct GoParameters {
  int64_t binc;
  int64_t btime;
  int64_t depth;
  int64_t mate;
  int64_t movestogo;
  int64_t movetime;
  int64_t nodes;
  int64_t winc;
  int64_t wtime;
  bool bInfinite;
  bool bPonder;
  // A clock or a move time that was given but negative still counts as given:
  // it means no time left, not an unlimited search.
  bool bBtimeGiven;
  bool bWtimeGiven;
  bool bMovetimeGiven;
};

struct TimeAllocation {
  bool bDepthIsLimited;
  int32_t nDepthLimit;
  bool bTimeIsLimited;
  double dTimeLimit1;  // soft limit, seconds: no new iteration after it
  double dTimeLimit2;  // hard limit, seconds: the search is abandoned
  bool bInfinite;      // "infinite" or "ponder"
};

// The option values the allocation depends on.
struct TimeOptions {
  int32_t nSearchDepth;  // "Search Depth": overrides the depth argument when >= 1
  int32_t nSearchTime;   // "Search Time" in seconds: overrides movetime when > 0
  bool bPonder;          // "Ponder": the soft limit is 25% longer
};

// Reads the keywords of a go line (the line may begin with "go"; unknown words
// are skipped). A keyword missing its argument ends the process through
// my_fatal with "parse_go(): missing argument\n".
void go_parameters_parse(const char* text, GoParameters& go);

TimeOptions time_options_read();

// side_to_move: 0 white, 1 black.
TimeAllocation time_allocate(const GoParameters& go, int side_to_move, const TimeOptions& options);
