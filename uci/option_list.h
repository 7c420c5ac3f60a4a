#pragma once
// The "option name ..." lines of the "uci" answer.

// One line per declared option, in table order, with its current value after
// the word default, so that a GUI that reconnects sees the values in force.
void option_print_all();
