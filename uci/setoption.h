#pragma once
// The "setoption" command.

void parse_setoption(const char* line);
