#pragma once
// The UCI lines of a search: statistics, hash fullness, current move,
// postmove, the MultiPV score lines and "bestmove". Everything goes out
// through uci_send, so only the root master prints.
#include <cstddef>
#include <cstdint>

#include "chess/move.h"
#include "search/search_records.h"

// Mate distance in moves of a value, 0 for a value that is not a mate score.
int value_to_mate(int value);

// The 0-terminated pv (at most max_moves moves) as move texts separated by
// single blanks; the text is cut at a move boundary when size is too small.
// Returns the text length.
std::size_t pv_to_text(const move_t* pv, int max_moves, char* text, std::size_t size);

// Places line `line` (0-based) among the slots 0..line by value: line 0 always
// goes to slot 0; a later line goes before the first earlier slot whose value
// is below its own, the slots from there on moving down one place.
void multipv_slot_place(multipv_report_t slots[MultiPVMax], int line, const multipv_report_t& slot);

// Sends "info multipv ..." for slots 0..count-1 with the bound of `flags`
// (3 exact, 2 lower bound, 1 upper bound; any other value sends nothing).
void multipv_slots_send(const multipv_report_t slots[MultiPVMax], int count, int flags);

// The driver's report slots, cleared at the start of every search.
extern multipv_report_t MultiPVReport[MultiPVMax];
void multipv_slots_clear();

// "info time ... nodes ... nps ... cpuload ..." and "info hashfull ...",
// at most once a second.
void report_statistics();
// The two statistics lines unconditionally, then "bestmove m [ponder p]".
void report_best_move();
// "info currmove ..." for RootProgress->nMove once the search has run a second.
void report_current_move();
// Info lines of SearchBest[SearchCurrent->multipv] and the bad-iteration test.
void report_best_line();
// Postmove line of root move `index` (with "Send Additional UCI Info" only):
// the elapsed time since start_time is computed and stored back in start_time.
void report_postmove(int move, int index, int slave_rank, double& start_time, int64_t nodes, int alpha,
                     int beta, int value, const char* start_time_text);
// Local wall-clock time as "hh:mm:ss.mmm" (text needs 16 bytes).
void wall_clock_text(char* text, std::size_t size);
