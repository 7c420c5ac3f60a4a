#include "uci/option_list.h"

#include "base/option.h"
#include "uci/uci_send.h"

void option_print_all() {
  for (const OptionEntry* opt = option_table(); opt->name != nullptr; ++opt) {
    if (!opt->declared) continue;
    const char* value = opt->value != nullptr ? opt->value : opt->default_value;
    if (opt->extra[0] != '\0') {
      uci_send("option name %s type %s default %s %s", opt->name, opt->type, value, opt->extra);
    } else {
      uci_send("option name %s type %s default %s", opt->name, opt->type, value);
    }
  }
}
