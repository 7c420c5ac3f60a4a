#pragma once
// Diagnostic log: one routine writes a line to the common file, the file of
// the process's rank and standard output, each switched by the configuration.

struct YBWCManager;

// Formats one line, prefixes the time stamp and rank, and writes it to every
// output that is switched on. Adds no line break of its own.
void YBWCManager_Log(YBWCManager* manager, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends text verbatim to "./Error/SLog_<nnnn>.txt" (9999 is the common file).
void mefprint(int file_number, const char* text);

// Writes a warning verbatim to standard output and flushes: the few warnings
// shown outside the log, such as a position with ten or more white bishops.
void log_console_warning(const char* text);

// True when the process's configured debug level reaches `level`. Callers test
// this before formatting a line so that disabled lines cost nothing.
bool log_level_enabled(int level);

// Shorthand for the common pattern: test the level, then log through the
// process's manager.
#define QLOG(level, ...)                                          \
  do {                                                            \
    if (log_level_enabled(level))                                 \
      YBWCManager_Log(YBWCManager_GetInstance(), __VA_ARGS__);    \
  } while (0)

YBWCManager* YBWCManager_GetInstance();
