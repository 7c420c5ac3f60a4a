#pragma once
// The store of UCI option values. Every tunable value is an option kept as
// text; the engine reads values only through option_get and its numeric and
// boolean readings. Parsing "setoption" and listing the options is the
// protocol layer's.
#include <cstdint>

struct OptionEntry {
  const char* name;           // as shown to the GUI; matched without regard to case
  int32_t declared;           // 1: listed in answer to "uci"; 0: hidden but settable
  const char* default_value;
  const char* type;           // "spin", "check", "string" or "combo"
  const char* extra;          // "min 4 max 1024", "var A var B", or ""
  char* value;                // current value, owned copy
};

void option_reset_all();
const OptionEntry* option_lookup(const char* name);
bool option_set_value(const char* name, const char* value);
const char* option_get(const char* name);
// The rows in listing order; the row after the last has a null name.
const OptionEntry* option_table();
void option_release_all();

// Readings of a value text: decimal integer (non-numbers read as 0) and the
// boolean rule ("true", "yes", "1" without regard to case).
int option_value_to_int(const char* text);
bool option_value_to_bool(const char* text);
int option_get_int(const char* name);
bool option_get_bool(const char* name);

// The numeric value limited to the option's declared min..max, for the places
// whose data cannot hold a value outside the range (table sizes, MultiPV).
int option_get_int_clamped(const char* name);

// "Hash" in megabytes for sizing the table: limited to the option's range,
// except that a value below 4 is passed on as it is (the table then takes
// its default size).
int option_get_hash_megabytes();

// Percent option converted to an 8.8 fixed-point weight: (p * 256 + 50) / 100.
int option_get_weight(const char* name);
int percent_to_weight(int percent);
