#pragma once
// The "position" command: sets up the board the next search starts from.

void parse_position(char* line);
