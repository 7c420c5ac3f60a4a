#pragma once
// The search driver as the command loop sees it: "go" runs a whole search
// and returns when it has ended.

// Parses the go parameters, runs iterative deepening and writes "bestmove".
void parse_go(const char* line);
// Clears the search's records before a new game or a remote test.
void search_clear();
// Asks the running search to stop at its next check.
void search_set_stop_request();
bool search_stop_requested();
// "ponderhit": the running search now ends by its time limits.
void search_clear_infinite();
// Writes the "bestmove" line a finished unbounded search held back.
void search_send_best_move();
// Sets the board the next search starts from.
void search_set_input_fen(const char* fen);
