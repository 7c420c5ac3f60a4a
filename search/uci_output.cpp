#include "search/uci_output.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/ybwc_manager.h"
#include "chess/trans.h"
#include "chess/value.h"
#include "platform/clock.h"
#include "search/driver.h"
#include "uci/uci_send.h"

multipv_report_t MultiPVReport[MultiPVMax];

namespace {

// Lines to report: nMultiPV + 1, kept inside the ten slots whatever the
// option or the limits hold.
int report_line_count() { return std::clamp(SearchLimits->nMultiPV, 0, MultiPVMax - 1) + 1; }

bool send_additional_info() {
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  return config != nullptr && config->bSendAdditionalUCIInfo != 0;
}

void send_statistics_lines() {
  uci_send("info time %.0f nodes %" PRId64 " nps %.0f cpuload %.0f", SearchCurrent->time * 1000.0,
           SearchCurrent->node_nb, SearchCurrent->speed, SearchCurrent->cpu * 1000.0);
  uci_send("info hashfull %.0f", Trans != nullptr && Trans->table != nullptr ? trans_hashfull(Trans, 0) : 0.0);
}

}  // namespace

int value_to_mate(int value) {
  if (value > ValueEvalInf) return (ValueMate + 1 - value) / 2;
  if (value < -ValueEvalInf) return -((value + ValueMate) / 2);
  return 0;
}

std::size_t pv_to_text(const move_t* pv, int max_moves, char* text, std::size_t size) {
  if (size == 0) return 0;
  std::size_t length = 0;
  text[0] = '\0';
  for (int i = 0; i < max_moves && pv[i] != MOVE_NONE; ++i) {
    char move_text[8];
    move_to_text(pv[i], move_text);
    const std::size_t move_length = std::strlen(move_text);
    const std::size_t needed = move_length + (length > 0 ? 1 : 0);
    if (length + needed + 1 > size) break;
    if (length > 0) text[length++] = ' ';
    std::memcpy(text + length, move_text, move_length + 1);
    length += move_length;
  }
  return length;
}

void multipv_slot_place(multipv_report_t slots[MultiPVMax], int line, const multipv_report_t& slot) {
  line = std::clamp(line, 0, MultiPVMax - 1);
  int place = line;
  for (int j = 0; j < line; ++j) {
    if (slots[j].value < slot.value) {
      place = j;
      break;
    }
  }
  for (int k = line; k > place; --k) slots[k] = slots[k - 1];
  slots[place] = slot;
}

void multipv_slots_send(const multipv_report_t slots[MultiPVMax], int count, int flags) {
  const char* bound = nullptr;
  switch (flags) {
    case SEARCH_FLAGS_EXACT: bound = ""; break;
    case SEARCH_FLAGS_LOWER: bound = " lowerbound"; break;
    case SEARCH_FLAGS_UPPER: bound = " upperbound"; break;
    default: return;
  }
  count = std::clamp(count, 0, MultiPVMax);
  for (int i = 0; i < count; ++i) {
    const multipv_report_t& slot = slots[i];
    const bool mate = slot.mate != 0;
    uci_send("info multipv %d depth %d seldepth %d score %s %d%s time %.0f nodes %" PRId64 " pv %s", i + 1,
             slot.depth, slot.max_depth, mate ? "mate" : "cp", mate ? slot.mate : slot.value, bound, slot.time,
             slot.nodes, slot.pv);
  }
}

void multipv_slots_clear() {
  for (multipv_report_t& slot : MultiPVReport) {
    slot.mate = slot.depth = slot.max_depth = slot.value = 0;
    slot.time = 0.0;
    slot.nodes = 0;
    slot.pv[0] = '\0';
  }
}

void report_statistics() {
  update_search_time();
  if (SearchCurrent->time < SearchInfo->last_time + 1.0) return;
  SearchInfo->last_time = SearchCurrent->time;
  send_statistics_lines();
}

void report_best_move() {
  send_statistics_lines();
  const search_best_t& best = SearchBest[0];
  char move_text[8];
  char ponder_text[8];
  // A search without any legal move has no best move: the protocol's "0000"
  // rather than the text of move 0.
  if (best.move == MOVE_NONE) {
    uci_send("bestmove 0000");
    return;
  }
  move_to_text(best.move, move_text);
  if (best.pv[0] == best.move && best.pv[0] != MOVE_NONE && best.pv[1] != MOVE_NONE && best.pv[1] != MOVE_NULL) {
    uci_send("bestmove %s ponder %s", move_text, move_to_text(best.pv[1], ponder_text));
  } else {
    uci_send("bestmove %s", move_text);
  }
}

void report_current_move() {
  update_search_time();
  if (SearchCurrent->time < 1.0) return;
  char move_text[8];
  move_to_text(RootProgress->nMove, move_text);
  if (send_additional_info()) {
    uci_send("info currmove %s currmovenumber %d currprocessorid %d", move_text, RootProgress->nMovePos + 1,
             search_root_move_slave_rank(RootProgress->nMovePos));
  } else {
    uci_send("info currmove %s currmovenumber %d", move_text, RootProgress->nMovePos + 1);
  }
}

void report_best_line() {
  update_search_time();
  const int line = std::clamp(SearchCurrent->multipv, 0, MultiPVMax - 1);
  const search_best_t& best = SearchBest[line];

  multipv_report_t slot;
  pv_to_text(best.pv, PvSize, slot.pv, sizeof slot.pv);
  slot.mate = value_to_mate(best.value);
  slot.depth = best.depth;
  slot.max_depth = SearchCurrent->max_depth;
  slot.value = best.value;
  slot.time = SearchCurrent->time * 1000.0;
  slot.nodes = SearchCurrent->node_nb;
  multipv_slot_place(MultiPVReport, line, slot);

  const int lines = report_line_count();
  if (best.depth > 1 || (best.depth == 1 && line == lines - 1)) {
    multipv_slots_send(MultiPVReport, lines, best.flags);
  }

  if (best.depth > 1) {
    if (best.value <= RootProgress->nLastValue - 50) {
      RootProgress->bBadIteration = true;
      RootProgress->bEasy = false;
      RootProgress->bStopSearch = false;
    } else {
      RootProgress->bBadIteration = false;
    }
  }
}

void report_postmove(int move, int index, int slave_rank, double& start_time, int64_t nodes, int alpha, int beta,
                     int value, const char* start_time_text) {
  if (!send_additional_info()) return;
  update_search_time();
  const double elapsed = SearchCurrent->time - start_time;
  start_time = elapsed;
  char move_text[8];
  char now_text[16];
  move_to_text(move, move_text);
  wall_clock_text(now_text, sizeof now_text);
  uci_send(
      "info postmove %s postmovenumber %d postprocessorid %d posttime %.0f postnodes %" PRId64
      " postnps %.0f postworkalpha %d postworkbeta %d posteval % d posttimestamp %s - %s",
      move_text, index + 1, std::max(slave_rank, 0), elapsed * 1000.0, nodes,
      elapsed >= 1.0 ? static_cast<double>(nodes) / elapsed : 0.0, alpha, beta, value, start_time_text, now_text);
}

void wall_clock_text(char* text, std::size_t size) {
  const LocalTime now = platform_local_time();
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u.%03u", static_cast<unsigned>(now.hour) % 100u,
                static_cast<unsigned>(now.minute) % 100u, static_cast<unsigned>(now.second) % 100u,
                static_cast<unsigned>(now.millisecond) % 1000u);
  std::snprintf(text, size, "%s", buffer);
}
