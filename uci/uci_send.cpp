#include "uci/uci_send.h"

#include <cstdarg>
#include <cstdio>

#include "base/ybwc_manager.h"

void uci_send(const char* format, ...) {
  if (!YBWCManager_GetInstance()->bRootMaster) return;
  char line[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
