#pragma once
// The search driver: "go" runs a whole search (iterative deepening with
// MultiPV, time control, abandonment) and returns when it has ended.
#include "chess/board.h"
#include "chess/movegen.h"

// Thrown by search_check to abandon a running search; caught only by search().
// It is the one non-local exit of the engine: no stack entry is resumed after it.
struct SearchAbandoned {};

// Parses the go parameters, runs iterative deepening and writes "bestmove".
void parse_go(const char* line);
// Runs one complete search from the search limits; the result is in SearchBest.
void search();
// Called by the nodes every check_inc nodes and by the waits of the stack:
// statistics, input, limits. Abandons the search by throwing SearchAbandoned.
void search_check();
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
// Writes the "bestmove" line a finished unbounded search held back.
void search_send_best_move();
// The board the next search starts from ("position" sets it up).
board_state_t& search_input_board();
// Sets the search input board from FEN text (malformed text is fatal).
void search_set_input_fen(const char* fen);
