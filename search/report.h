#pragma once
// What a search reports while it runs and when it ends: plain records handed
// to the callbacks the protocol layer installs. The search formats no line of
// its own; a report without an installed callback goes nowhere.
#include <cstddef>
#include <cstdint>

#include "chess/move.h"
#include "search/search_records.h"

// An iteration starts ("info depth"), and ends once its last line has been
// searched, with the selective depth, time, nodes and speed.
struct iteration_report_t {
  int depth;
  bool finished;
  int max_depth;
  double time;  // seconds
  int64_t nodes;
  double speed;  // nodes per second
};

// Time, nodes, speed, processor load and hash fullness of the running search.
struct statistics_report_t {
  double time;  // seconds
  int64_t nodes;
  double speed;
  double cpu;       // 0..1
  double hashfull;  // thousandths
};

// The root move being searched once the search has run a second.
struct current_move_report_t {
  int move;
  int move_number;         // 1-based
  int processor_id;        // rank of the slave holding the move, 0 when none
  bool with_processor_id;  // "Send Additional UCI Info"
};

// One MultiPV line as reported (the driver keeps MultiPVMax of them, ordered
// by value).
struct multipv_report_t {
  int mate;  // mate distance in moves, 0 when the value is no mate score
  int depth;
  int max_depth;
  int value;
  double time;  // milliseconds
  int64_t nodes;
  move_t pv[PvSize];  // 0-terminated
};

// The lines 0..count-1 after a root move improved line `SearchCurrent->multipv`;
// flags are those of the line just found (3 exact, 2 lower, 1 upper bound).
struct best_lines_report_t {
  const multipv_report_t* slots;
  int count;
  int flags;
};

// The end of a search: its statistics and the move to play, with the move to
// ponder on when the pv has a second move (MOVE_NONE otherwise). MOVE_NONE as
// the move: no legal move.
struct best_move_report_t {
  statistics_report_t statistics;
  int move;
  int ponder;
};

// A root move has been searched ("Send Additional UCI Info" only).
struct postmove_report_t {
  int move;
  int move_number;   // 1-based
  int processor_id;  // rank of the slave that searched it, 0 when none
  double time;       // seconds spent on the move
  int64_t nodes;
  double speed;
  int alpha;
  int beta;
  int value;
  const char* start_time_text;  // wall clock when the move was started, "hh:mm:ss.mmm"
  const char* end_time_text;    // and now
};

struct SearchCallbacks {
  void (*on_iteration)(const iteration_report_t&);
  void (*on_best_lines)(const best_lines_report_t&);
  void (*on_current_move)(const current_move_report_t&);
  void (*on_statistics)(const statistics_report_t&);
  void (*on_bestmove)(const best_move_report_t&);
  void (*on_postmove)(const postmove_report_t&);
};
// Replaces every callback (a null one drops its reports).
void search_set_callbacks(const SearchCallbacks& callbacks);

// Mate distance in moves of a value, 0 for a value that is not a mate score.
int value_to_mate(int value);

// Places line `line` (0-based) among the slots 0..line by value: line 0 always
// goes to slot 0; a later line goes before the first earlier slot whose value
// is below its own, the slots from there on moving down one place.
void multipv_slot_place(multipv_report_t slots[MultiPVMax], int line, const multipv_report_t& slot);

// The driver's report slots, cleared at the start of every search.
extern multipv_report_t MultiPVReport[MultiPVMax];
void multipv_slots_clear();

// "info depth d" when an iteration starts; its summary when it has ended.
void report_iteration_start(int depth);
void report_iteration_end(int depth);
// The statistics, at most once a second.
void report_statistics();
// The statistics unconditionally, then the best move of SearchBest[0].
void report_best_move();
// RootProgress->nMove once the search has run a second.
void report_current_move();
// The lines after SearchBest[SearchCurrent->multipv] changed, and the
// bad-iteration test.
void report_best_line();
// Root move `index` has been searched (with "Send Additional UCI Info" only):
// the elapsed time since start_time is computed and stored back in start_time.
void report_postmove(int move, int index, int slave_rank, double& start_time, int64_t nodes, int alpha,
                     int beta, int value, const char* start_time_text);
// Local wall-clock time as "hh:mm:ss.mmm" (text needs 16 bytes).
void wall_clock_text(char* text, std::size_t size);
