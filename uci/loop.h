#pragma once
// The root master's UCI command loop and the reading of standard input.
#include <cstddef>

// A source of command lines that stands in for standard input while it is
// active (the automatic tester); the process entry installs it.
struct CommandScript {
  bool (*is_active)();
  const char* (*next_line)();  // null once the script has run out: the loop then quits
  void (*deactivate)();        // "stop" ends the script for good
};
void loop_set_command_script(const CommandScript& script);

// Reads one command line (or takes the automatic tester's next one) and executes it.
void loop_step();
// Executes one command line as the loop would.
void execute_command(char* line);
// Zero-wait test for pending standard input.
bool stdin_has_input();
// Reads and executes the commands that arrived while a search runs.
void poll_commands_during_search();
// Connects the search to the loop: its reports become UCI lines and its
// periodic check reads the commands that arrive during a search.
void uci_search_hooks_install();
// Reads one line without its line end; false at end of input. A read error
// ends the process through my_fatal.
bool my_file_read_line(char* buffer, std::size_t size);
void parse_remote(char* line);
