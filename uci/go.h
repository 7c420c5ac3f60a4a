#pragma once
// The "go" command: its parameters, read into the search's limits.
#include "search/time_control.h"

// Reads the keywords of a go line (the line may begin with "go"; unknown words
// are skipped). A keyword missing its argument ends the process through
// my_fatal with "parse_go(): missing argument\n".
void go_parameters_parse(const char* text, GoParameters& go);

// Parses the go parameters, sets the limits for the position "position" set
// up, and runs the whole search (search_go); returns when it has ended.
void parse_go(const char* line);
