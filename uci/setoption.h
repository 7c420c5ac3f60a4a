#pragma once
// The "setoption" command.

void parse_setoption(const char* line);

// A non root master applies an option the root master forwarded: set, the
// configuration refreshed, and the engine parameters that depend on options
// read again.
void apply_forwarded_option(const char* name, const char* value);
