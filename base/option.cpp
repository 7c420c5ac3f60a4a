#include "base/option.h"

#include <cctype>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "base/fatal.h"

namespace {

// The table's order is the order of the "uci" listing; it ends with an empty row.
OptionEntry Options[] = {
    {"Hash", 1, "16", "spin", "min 4 max 1024", nullptr},
    {"Search Time", 1, "0", "spin", "min 0 max 3600", nullptr},
    {"Search Depth", 1, "0", "spin", "min 0 max 20", nullptr},
    {"Ponder", 1, "false", "check", "", nullptr},
    {"OwnBook", 1, "true", "check", "", nullptr},
    {"BookFile", 1, "performance.bin", "string", "", nullptr},
    {"Bitbases Path", 1, "c:/egbb/", "string", "", nullptr},
    {"Bitbases Cache Size", 1, "16", "spin", "min 16 max 1024", nullptr},
    {"MultiPV", 1, "1", "spin", "min 1 max 10", nullptr},
    {"NullMove Pruning", 1, "Always", "combo", "var Always var Fail High var Never", nullptr},
    {"NullMove Reduction", 1, "3", "spin", "min 1 max 4", nullptr},
    {"Verification Search", 1, "Always", "combo", "var Always var Endgame var Never", nullptr},
    {"Verification Reduction", 1, "5", "spin", "min 1 max 6", nullptr},
    {"History Pruning", 1, "true", "check", "", nullptr},
    {"History Threshold", 1, "70", "spin", "min 0 max 100", nullptr},
    {"Futility Pruning", 1, "true", "check", "", nullptr},
    {"Futility Margin", 1, "100", "spin", "min 0 max 500", nullptr},
    {"Extended Futility Margin", 1, "300", "spin", "min 0 max 900", nullptr},
    {"Delta Pruning", 1, "true", "check", "", nullptr},
    {"Delta Margin", 1, "50", "spin", "min 0 max 500", nullptr},
    {"Quiescence Check Plies", 1, "1", "spin", "min 0 max 2", nullptr},
    {"Material", 1, "100", "spin", "min 0 max 400", nullptr},
    {"Piece Activity", 1, "100", "spin", "min 0 max 400", nullptr},
    {"Piece Square Activity", 1, "100", "spin", "min 0 max 400", nullptr},
    {"King Safety", 1, "100", "spin", "min 0 max 400", nullptr},
    {"Pawn Structure", 1, "100", "spin", "min 0 max 400", nullptr},
    {"Passed Pawns", 1, "100", "spin", "min 0 max 400", nullptr},
    {"Vessa Lazy Eval", 1, "true", "check", "", nullptr},
    {"Vessa Lazy Eval Margin", 1, "200", "spin", "min 0 max 900", nullptr},
    {"Vessa Exchange Bonus", 0, "20", "spin", "min 0 max 100", nullptr},
    {"Vessa King Safety", 1, "false", "check", "", nullptr},
    {"Vessa King Safety Margin", 1, "1700", "spin", "min 500 max 3000", nullptr},
    {"Vessa Extended History Pruning", 1, "false", "check", "", nullptr},
    {"Vessa History Threshold", 0, "40", "spin", "min 0 max 100", nullptr},
    {"Debug Level", 1, "0", "spin", "min 0 max 999", nullptr},
    {"Log To Common File", 1, "false", "check", "", nullptr},
    {"Log To Specific File", 1, "false", "check", "", nullptr},
    {"Log To Stdout", 0, "false", "check", "", nullptr},
    {"Max Buffered Requests", 0, "32", "spin", "min 0 max 999", nullptr},
    {"Max Buffered Results", 0, "32", "spin", "min 0 max 999", nullptr},
    {"Max Waits Before Work Request", 0, "1000", "spin", "min 0 max 99999", nullptr},
    {"Base Waits Before Work Request", 0, "10", "spin", "min 1 max 9999", nullptr},
    {"No Work Results Before Doubling Base Waits", 0, "2", "spin", "min 1 max 999", nullptr},
    {"Send Additional UCI Info", 0, "false", "check", "", nullptr},
    {"Wait For Slave Dump Interval", 0, "0", "spin", "min 0 max 999999", nullptr},
    {"Wait For Work Dump Interval", 0, "0", "spin", "min 0 max 999999", nullptr},
    {"At Work Dump Interval", 0, "0", "spin", "min 0 max 999999", nullptr},
    {"Awaiting Result Dump Interval", 0, "0", "spin", "min 0 max 999999", nullptr},
    {"Force Reproducible Evaluation", 0, "false", "check", "", nullptr},
    {"Only Distribute Work Of Root Master", 1, "false", "check", "", nullptr},
    {"Suppress Distribution Of Root Moves", 1, "false", "check", "", nullptr},
    {"Suppress Distribution Of Non Root Moves", 1, "false", "check", "", nullptr},
    {"Allow Distribution Of Last Move", 1, "true", "check", "", nullptr},
    {"Reverse Stack Distribution Order", 0, "false", "check", "", nullptr},
    {"Update Search Windows", 1, "true", "check", "", nullptr},
    {"Direct Update Search Windows", 1, "true", "check", "", nullptr},
    {"Min Alpha Improvement For Rerun", 1, "0", "spin", "min 0 max 99999", nullptr},
    {"Max Moves Completed For Rerun", 1, "2", "spin", "min 0 max 256", nullptr},
    {"Max Percent Completed For Rerun", 1, "0", "spin", "min 0 max 100", nullptr},
    {"Alpha Improvement To Force Rerun", 1, "50", "spin", "min 0 max 99999", nullptr},
    {"Broadcast Hash Table", 0, "true", "check", "", nullptr},
    {"Broadcast Chunk Size Of Hash Table", 1, "64", "spin", "min 1 max 256", nullptr},
    {"Broadcast Min Depth of Hash Table", 1, "4", "spin", "min 0 max 256", nullptr},
    {"Share Hash Table", 0, "true", "check", "", nullptr},
    {"Share History Table", 0, "false", "check", "", nullptr},
    {"Synchronize History Table Access", 0, "false", "check", "", nullptr},
    {"Broadcast History Table", 0, "false", "check", "", nullptr},
    {"History Table Chunk Size", 0, "100", "spin", "min 1 max 4096", nullptr},
    {"History HistTot Table Chunk Size", 0, "100", "spin", "min 1 max 4096", nullptr},
    {"Transmit Killer Table", 0, "true", "check", "", nullptr},
    {"Transmit History Table", 0, "true", "check", "", nullptr},
    {"Transmit HistTot Table", 0, "true", "check", "", nullptr},
    {"Real History Pruning", 1, "true", "check", "", nullptr},
    {"Use IID", 0, "true", "check", "", nullptr},
    {"Use Hash Table", 0, "true", "check", "", nullptr},
    {"Standard Poll Interval", 0, "10000", "spin", "min 1 max 999999", nullptr},
    {"Standard Poll Increment", 0, "10000", "spin", "min 1 max 999999", nullptr},
    {"MPI Poll Interval", 0, "100", "spin", "min 1 max 999999", nullptr},
    {"MPI Poll Increment", 0, "100", "spin", "min 1 max 999999", nullptr},
    {"Cleanup Interval", 0, "2000", "spin", "min 1 max 999999", nullptr},
    {"Timer 01 Interval", 0, "3000", "spin", "min 1 max 999999", nullptr},
    {"Send Keep Alive Chars", 0, "false", "check", "", nullptr},
    {"Remote Start IID Depth", 1, "256", "spin", "min -256 max 256", nullptr},
    {"Remote IID Depth To Skip To Max", 1, "1", "spin", "min 1 max 256", nullptr},
    {"Moves Completed At Root Before Work Distribution", 1, "1", "spin", "min 0 max 256", nullptr},
    {"Moves Completed Before Work Distribution", 1, "1", "spin", "min 0 max 256", nullptr},
    {"Moves Completed Offset At Cut Node", 0, "0", "spin", "min 0 max 256", nullptr},
    {"Moves Completed Offset At All Node", 0, "0", "spin", "min 0 max 256", nullptr},
    {"Moves Completed Offset At PV Node", 0, "0", "spin", "min 0 max 256", nullptr},
    {"Min Remaining Search Depth Same Node", 1, "4", "spin", "min 1 max 256", nullptr},
    {"Min Remaining Search Depth", 1, "4", "spin", "min 1 max 256", nullptr},
    {"Max Remaining Search Depth", 1, "256", "spin", "min 1 max 256", nullptr},
    {"Min Remaining Search Height", 0, "0", "spin", "min 0 max 256", nullptr},
    {"Max Remaining Search Height", 0, "256", "spin", "min 1 max 256", nullptr},
    {"Use Multi Step Stack Search For Work", 0, "false", "check", "", nullptr},
    {"Moves Completed At Root At First Step", 0, "8", "spin", "min 0 max 256", nullptr},
    {"Moves Completed At First Step", 0, "8", "spin", "min 0 max 256", nullptr},
    {"Use Synchronized Stack Stop Entry", 0, "false", "check", "", nullptr},
    {"Lower Process Priority To Favor GUI Updates", 0, "true", "check", "", nullptr},
    {"Use Event", 0, "true", "check", "", nullptr},
    {nullptr, 0, nullptr, nullptr, nullptr, nullptr},
};

OptionEntry* find_option(const char* name) {
  for (OptionEntry* opt = Options; opt->name != nullptr; ++opt) {
    if (strcasecmp(opt->name, name) == 0) return opt;
  }
  return nullptr;
}

char* copy_text(const char* text) {
  const std::size_t length = std::strlen(text);
  char* copy = static_cast<char*>(my_malloc(length + 1));
  std::memcpy(copy, text, length + 1);
  return copy;
}

void store_value(OptionEntry* opt, const char* text) {
  char* copy = copy_text(text);
  std::free(opt->value);
  opt->value = copy;
}

// Reads "min A max B" of a spin option; false for other types.
bool spin_range(const OptionEntry* opt, int* lo, int* hi) {
  return std::strcmp(opt->type, "spin") == 0 && std::sscanf(opt->extra, "min %d max %d", lo, hi) == 2;
}

}  // namespace

void option_reset_all() {
  for (OptionEntry* opt = Options; opt->name != nullptr; ++opt) store_value(opt, opt->default_value);
}

const OptionEntry* option_lookup(const char* name) { return find_option(name); }

bool option_set_value(const char* name, const char* value) {
  OptionEntry* opt = find_option(name);
  if (opt == nullptr) return false;
  store_value(opt, value);
  return true;
}

const char* option_get(const char* name) {
  const OptionEntry* opt = find_option(name);
  if (opt == nullptr) {
    my_fatal("option_get(): unknown option \"%s\"\n", name);
    return "";
  }
  return opt->value != nullptr ? opt->value : opt->default_value;
}

const OptionEntry* option_table() { return Options; }

void option_release_all() {
  for (OptionEntry* opt = Options; opt->name != nullptr; ++opt) {
    std::free(opt->value);
    opt->value = nullptr;
  }
}

int option_value_to_int(const char* text) {
  // Decimal like atoi, but saturating instead of overflowing on huge numbers.
  const long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int>(value);
}

bool option_value_to_bool(const char* text) {
  return strcasecmp(text, "true") == 0 || strcasecmp(text, "yes") == 0 || std::strcmp(text, "1") == 0;
}

int option_get_int(const char* name) { return option_value_to_int(option_get(name)); }

bool option_get_bool(const char* name) { return option_value_to_bool(option_get(name)); }

int option_get_int_clamped(const char* name) {
  const int value = option_get_int(name);
  const OptionEntry* opt = find_option(name);
  int lo = 0;
  int hi = 0;
  if (opt == nullptr || !spin_range(opt, &lo, &hi)) return value;
  if (value < lo) return lo;
  if (value > hi) return hi;
  return value;
}

int option_get_hash_megabytes() {
  const int megabytes = option_get_int("Hash");
  return megabytes >= 4 ? option_get_int_clamped("Hash") : megabytes;
}

int percent_to_weight(int percent) {
  // Out-of-range percentages are used as given, up to 100 times the largest
  // declared weight, so that the product below and the evaluation terms it
  // scales stay within 32 bits.
  constexpr int kLimit = 40000;
  if (percent > kLimit) percent = kLimit;
  if (percent < -kLimit) percent = -kLimit;
  return (percent * 256 + 50) / 100;
}

int option_get_weight(const char* name) { return percent_to_weight(option_get_int(name)); }
