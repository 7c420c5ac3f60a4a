#include "base/log.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/ybwc_manager.h"
#include "platform/clock.h"

namespace {
constexpr std::size_t kLogBufferSize = 16384;
}

void mefprint(int file_number, const char* text) {
  char path[64];
  std::snprintf(path, sizeof path, "./Error/SLog_%04d.txt", file_number);
  std::FILE* file = std::fopen(path, "a");
  if (file == nullptr) {
    std::fprintf(stdout, "! ERROR Unable to open mefprint file <%s>\n", path);
    std::fflush(stdout);
    return;
  }
  std::fputs(text, file);  // the finished line is text, never a format
  std::fflush(file);
  std::fclose(file);
}

void YBWCManager_Log(YBWCManager* manager, const char* format, ...) {
  const PellamConfiguration* config = manager->pConfiguration;
  if (!config->bLogToCommonFile && !config->bLogToFile && !config->bLogToStdout) return;

  // Both buffers are bounded: an over-long message or line is cut at 16383
  // characters rather than written past the buffer.
  char message[kLogBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);

  const LocalTime now = platform_local_time();
  std::snprintf(manager->sTimeStamp, sizeof manager->sTimeStamp, "%02d.%02d.%04d %02d:%02d:%02d.%03d", now.day,
                now.month, now.year, now.hour, now.minute, now.second, now.millisecond);

  char line[kLogBufferSize];
  const int prefix = std::snprintf(line, sizeof line, "%s %4d:", manager->sTimeStamp, manager->nRank);
  const std::size_t room = sizeof line - static_cast<std::size_t>(prefix) - 1;
  const std::size_t length = std::min(std::strlen(message), room);
  std::memcpy(line + prefix, message, length);
  line[prefix + length] = '\0';

  if (config->bLogToCommonFile) mefprint(9999, line);
  if (config->bLogToFile && manager->nRank >= 0) mefprint(manager->nRank, line);
  if (config->bLogToStdout) {
    std::fputs(line, stdout);
    std::fflush(stdout);
  }
}

void log_console_warning(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

bool log_level_enabled(int level) {
  return YBWCManager_GetInstance()->pConfiguration->nPellamDebugLevel >= level;
}
