#include "search/driver.h"

// The searching engine is not part of the program yet: "go" does nothing and
// writes nothing, so that no invented result reaches the GUI.

namespace {
bool StopRequest = false;
}

void parse_go(const char*) {}

void search_clear() { StopRequest = false; }

void search_set_stop_request() { StopRequest = true; }

bool search_stop_requested() { return StopRequest; }

void search_clear_infinite() {}

void search_send_best_move() {}

void search_set_input_fen(const char*) {}
