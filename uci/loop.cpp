#include "uci/loop.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/log.h"
#include "base/option.h"
#include "base/protocol_flags.h"
#include "base/version.h"
#include "base/ybwc_manager.h"
#include "cluster/membership.h"
#include "platform/stdin_reader.h"
#include "search/driver.h"
#include "uci/engine_init.h"
#include "uci/go.h"
#include "uci/option_list.h"
#include "uci/position.h"
#include "uci/search_output.h"
#include "uci/setoption.h"
#include "uci/uci_send.h"

namespace {

constexpr std::size_t kLineBufferSize = 65536;

bool starts_with(const char* line, const char* prefix) { return std::strncmp(line, prefix, std::strlen(prefix)) == 0; }

CommandScript Script{};

bool script_active() { return Script.is_active != nullptr && Script.is_active(); }

bool search_busy() { return SearchRunning || Delay; }

// True when `word` is one of the blank-separated words of text.
bool has_word(const char* text, const char* word) {
  const std::size_t length = std::strlen(word);
  for (const char* at = std::strstr(text, word); at != nullptr; at = std::strstr(at + 1, word)) {
    const bool starts = at == text || at[-1] == ' ';
    const bool ends = at[length] == '\0' || at[length] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

void log_hook_failure(const char* hook, int32_t code) {
  if (code != 0) QLOG(1, "ERROR loop_step(... failed at %s(..., errorcode = %d\n", hook, code);
}

void command_go(YBWCManager* manager, const char* line) {
  if (search_busy()) return;
  log_hook_failure("YBWCManager_HookGo", YBWCManager_HookGo(manager));
  init_engine_once();
  parse_go(line);
}

void command_position(YBWCManager* manager, char* line) {
  if (search_busy()) return;
  init_engine_once();
  const std::string copy = line;  // parse_position cuts the line in place
  parse_position(line);
  log_hook_failure("YBWCManager_HookPosition", YBWCManager_HookPosition(manager, copy.c_str()));
}

void command_stop(YBWCManager* manager) {
  if (Script.deactivate != nullptr) Script.deactivate();
  if (SearchRunning) {
    search_set_stop_request();
    SearchUnbounded = false;
  } else if (Delay) {
    search_send_best_move();
    Delay = false;
  }
  log_hook_failure("YBWCManager_HookStop", YBWCManager_HookStop(manager));
}

void command_ponderhit() {
  if (SearchRunning) {
    SearchUnbounded = false;
    search_clear_infinite();
  } else if (Delay) {
    search_send_best_move();
    Delay = false;
  }
}

void command_uci(YBWCManager* manager) {
  uci_send("id name %s %s", kEngineName, kEngineVersion);
  uci_send("id author %s", kEngineAuthors);
  option_print_all();
  uci_send("uciok");
  log_hook_failure("YBWCManager_HookNewGame", YBWCManager_HookNewGame(manager));
}

void command_ucinewgame(YBWCManager* manager) {
  if (search_busy() || !EngineReady) return;
  engine_clear_transposition_table();
  log_hook_failure("YBWCManager_HookNewGame", YBWCManager_HookNewGame(manager));
}

}  // namespace

bool my_file_read_line(char* buffer, std::size_t size) {
  switch (platform_stdin_read_line(buffer, size)) {
    case ReadLineResult::EndOfInput:
      return false;
    case ReadLineResult::Error:
      my_fatal("my_file_read_line(): fgets(): %s\n", std::strerror(errno));
      return false;
    case ReadLineResult::Line:
      break;
  }
  // Text-stream reading: a carriage return before the newline is dropped.
  char* newline = std::strchr(buffer, '\n');
  if (newline != nullptr) {
    if (newline > buffer && newline[-1] == '\r') --newline;
    *newline = '\0';
  }
  return true;
}

void loop_set_command_script(const CommandScript& script) { Script = script; }

bool stdin_has_input() { return platform_stdin_has_input(); }

void execute_command(char* line) {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (starts_with(line, "debug ")) {
    return;
  } else if (starts_with(line, "go ")) {
    command_go(manager, line);
  } else if (starts_with(line, "remote ")) {
    if (search_busy()) return;
    init_engine_once();
    parse_remote(line);
  } else if (std::strcmp(line, "isready") == 0) {
    if (!search_busy()) init_engine_once();
    uci_send("readyok");
  } else if (std::strcmp(line, "ponderhit") == 0) {
    command_ponderhit();
  } else if (starts_with(line, "position ")) {
    command_position(manager, line);
  } else if (std::strcmp(line, "quit") == 0) {
    shutdown_and_exit("finalizing environment via \"quit\"\n", 0);
  } else if (starts_with(line, "setoption ")) {
    if (search_busy()) return;
    init_engine_once();
    parse_setoption(line);
    apply_option_parameters();
  } else if (std::strcmp(line, "stop") == 0) {
    command_stop(manager);
  } else if (std::strcmp(line, "uci") == 0) {
    command_uci(manager);
  } else if (std::strcmp(line, "ucinewgame") == 0) {
    command_ucinewgame(manager);
  }
}

void loop_step() {
  static char line[kLineBufferSize];
  YBWCManager* manager = YBWCManager_GetInstance();
  if (script_active() && !manager->bInCommandPoll) {
    const char* next = Script.next_line();
    std::snprintf(line, sizeof line, "%s", next != nullptr ? next : "quit");
  } else if (!my_file_read_line(line, sizeof line)) {
    shutdown_and_exit("finalizing environment via !my_file_read_line(...\n", 0);
  }
  execute_command(line);
}

void poll_commands_during_search() {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (!manager->bRootMaster || manager->bInCommandPoll) return;
  manager->bInCommandPoll = 1;
  while (!search_stop_requested()) {
    if (!stdin_has_input()) break;
    loop_step();
  }
  manager->bInCommandPoll = 0;
}

void uci_search_hooks_install() {
  search_output_install();
  search_set_input_poll(poll_commands_during_search);
}

void parse_remote(char* line) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const char* rest = line + std::strlen("remote");
  while (*rest == ' ') ++rest;
  if (*rest == '\0') {
    my_fatal("parse_remote(): missing processor argument\n");
    return;
  }
  char* parameters = nullptr;
  long processor = std::strtol(rest, &parameters, 10);
  while (*parameters != '\0' && *parameters != ' ') ++parameters;  // rest of the token
  while (*parameters == ' ') ++parameters;
  if (processor >= manager->nSize) {
    processor = manager->nSize - 1;
    QLOG(3, "WARNING parse_remote(... failed (nProcessorId >= g_pYBWCManagerInstance->nSize), now set to %ld\n",
         processor);
  }
  if (processor < 1) {
    processor = 1;
    QLOG(3, "WARNING parse_remote(... failed (nProcessorId < 1), now set to 1\n");
  }
  if (processor >= manager->nSize) {
    // A job of one process has no other rank to run the test on.
    QLOG(1, "ERROR parse_remote(... no other process in this job for a remote test\n");
    uci_send("info string remote refused: this job has a single process");
    return;
  }
  SearchRunning = true;
  manager->nState = NODE_STATE_REMOTE_TEST;
  Delay = false;
  // "infinite" or "ponder" hold the remote result back until "stop" or "ponderhit", as for "go".
  SearchUnbounded = has_word(parameters, "infinite") || has_word(parameters, "ponder");
  search_clear();
  if (YBWCManager_HookRemoteTest(manager, static_cast<int32_t>(processor), parameters) != 0) {
    // No result will come: the loop must not stay in the remote test.
    SearchRunning = false;
    SearchUnbounded = false;
    manager->nRemoteTestProcessorId = -1;
    manager->nState = NODE_STATE_IDLE;
    uci_send("info string remote test could not be sent to processor %ld", processor);
  }
}
