#pragma once
// The UCI lines of a search: the search hands its reports to these
// functions, which write them through uci_send (so only the root master
// prints).
#include <cstddef>

#include "chess/move.h"
#include "search/report.h"

// The longest pv as text: 255 moves of at most five characters and a blank
// each, and the terminating 0.
constexpr int PvTextSize = 255 * 6 + 1;

// The 0-terminated pv (at most max_moves moves) as move texts separated by
// single blanks; the text is cut at a move boundary when size is too small.
// Returns the text length.
std::size_t pv_to_text(const move_t* pv, int max_moves, char* text, std::size_t size);

// "info depth d" at the start of an iteration; at its end
// "info depth d seldepth s time t nodes n nps v".
void uci_send_iteration(const iteration_report_t& report);
// "info multipv ..." for slots 0..count-1 with the bound of the flags
// (3 exact, 2 lower bound, 1 upper bound; any other value sends nothing).
void uci_send_best_lines(const best_lines_report_t& report);
// "info currmove m currmovenumber k", with " currprocessorid p" when asked for.
void uci_send_current_move(const current_move_report_t& report);
// "info time ... nodes ... nps ... cpuload ..." and "info hashfull ...".
void uci_send_statistics(const statistics_report_t& report);
// "bestmove m [ponder p]"; "bestmove 0000" when there is no move.
void uci_send_bestmove(const best_move_report_t& report);
// "info postmove ...".
void uci_send_postmove(const postmove_report_t& report);

// Makes the search report through the functions above.
void search_output_install();
