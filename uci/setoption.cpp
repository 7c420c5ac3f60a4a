#include "uci/setoption.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "base/configuration.h"
#include "base/log.h"
#include "base/option.h"
#include "base/protocol_flags.h"
#include "base/ybwc_manager.h"
#include "cluster/membership.h"
#include "uci/engine_init.h"

namespace {

void log_forward_failure(int32_t code) {
  if (code != 0) QLOG(1, "ERROR parse_setoption(... failed at YBWCManager_HookSetOption(..., errorcode = %d\n", code);
}

// Sets the option and refreshes the configuration (dumped to the log);
// "Bitbases Path" and "Bitbases Cache Size" load the bitbases again.
void option_apply(YBWCManager* manager, const char* name, const char* value) {
  option_set_value(name, value);
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  PellamConfiguration_Dump(manager->pConfiguration, manager);
  if (strcasecmp(name, "Bitbases Path") == 0 || strcasecmp(name, "Bitbases Cache Size") == 0) {
    engine_reload_bitbases();
  }
}

}  // namespace

void parse_setoption(const char* line) {
  const char* name_at = std::strstr(line, "name ");
  const char* value_at = std::strstr(line, "value ");
  if (name_at == nullptr || value_at == nullptr || name_at >= value_at) return;

  const char* name_begin = name_at + 5;
  const char* name_end = value_at - 1;  // the character before "value " is not part of the name
  const std::string name(name_begin, name_end > name_begin ? name_end : name_begin);
  const std::string value(value_at + 6);

  YBWCManager* manager = YBWCManager_GetInstance();
  option_apply(manager, name.c_str(), value.c_str());
  if (EngineReady && strcasecmp(name.c_str(), "Hash") == 0 && option_get_int("Hash") >= 4) {
    // Every rank gives up its table before any allocates the new size;
    // "Share Hash Table" takes effect with the new allocation.
    log_forward_failure(YBWCManager_ChangeHashSize(manager));
  }
  log_forward_failure(YBWCManager_HookSetOption(manager, name.c_str(), value.c_str()));
}

void apply_forwarded_option(const char* name, const char* value) {
  option_apply(YBWCManager_GetInstance(), name, value);
  apply_option_parameters();
}
