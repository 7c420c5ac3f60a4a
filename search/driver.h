#pragma once
// The search driver: a whole search from its limits (iterative deepening
// with MultiPV, time control, abandonment), reported through the callbacks
// of search/report.h; returns when the search has ended.
#include "chess/board.h"
#include "chess/movegen.h"
#include "search/search_records.h"

// Thrown by search_check to abandon a running search; caught only by search().
// It is the one non-local exit of the engine: no stack entry is resumed after it.
struct SearchAbandoned {};

// Runs a root search of limits.board under the limits (a "go" command, or a
// tool) and reports its best move unless the search is unbounded
// (infinite or ponder: "stop" or "ponderhit" asks for it later). The line
// count comes from the option "MultiPV".
void search_go(const search_limits_t& limits);
// Runs one complete search from the search limits; the result is in SearchBest.
void search();
// Called by the nodes every check_inc nodes and by the waits of the stack:
// statistics, input, limits. Abandons the search by throwing SearchAbandoned.
void search_check();
// The input poll search_check runs when "Use Event" is on ("stop",
// "ponderhit", "isready" during a search); null: no input is read.
void search_set_input_poll(void (*poll)());
// Elapsed time, speed and processor load of the running search.
void update_search_time();
// Reads the search parameters from the options and orders the root list.
void search_prepare(move_list_t& list, board_state_t& board);
// Rank of the slave that holds root move `index` of the running root search, 0 when none.
int search_root_move_slave_rank(int index);

// Clears the search's records before a new game or a remote test.
void search_clear();
// Asks the running search to stop at its next check.
void search_set_stop_request();
bool search_stop_requested();
// "ponderhit": the running search now ends by its time limits.
void search_clear_infinite();
// Reports the best move a finished unbounded search held back.
void search_send_best_move();
// The board the next search starts from ("position" sets it up).
board_state_t& search_input_board();
// Sets the search input board from FEN text (malformed text is fatal).
void search_set_input_fen(const char* fen);
