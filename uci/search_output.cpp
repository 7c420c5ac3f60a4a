#include "uci/search_output.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "uci/uci_send.h"

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

void uci_send_iteration(const iteration_report_t& report) {
  if (!report.finished) {
    uci_send("info depth %d", report.depth);
    return;
  }
  uci_send("info depth %d seldepth %d time %.0f nodes %" PRId64 " nps %.0f", report.depth, report.max_depth,
           report.time * 1000.0, report.nodes, report.speed);
}

void uci_send_best_lines(const best_lines_report_t& report) {
  const char* bound = nullptr;
  switch (report.flags) {
    case SEARCH_FLAGS_EXACT: bound = ""; break;
    case SEARCH_FLAGS_LOWER: bound = " lowerbound"; break;
    case SEARCH_FLAGS_UPPER: bound = " upperbound"; break;
    default: return;
  }
  const int count = std::clamp(report.count, 0, MultiPVMax);
  for (int i = 0; i < count; ++i) {
    const multipv_report_t& slot = report.slots[i];
    const bool mate = slot.mate != 0;
    char pv[PvTextSize];
    pv_to_text(slot.pv, PvSize, pv, sizeof pv);
    uci_send("info multipv %d depth %d seldepth %d score %s %d%s time %.0f nodes %" PRId64 " pv %s", i + 1,
             slot.depth, slot.max_depth, mate ? "mate" : "cp", mate ? slot.mate : slot.value, bound, slot.time,
             slot.nodes, pv);
  }
}

void uci_send_current_move(const current_move_report_t& report) {
  char move_text[8];
  move_to_text(report.move, move_text);
  if (report.with_processor_id) {
    uci_send("info currmove %s currmovenumber %d currprocessorid %d", move_text, report.move_number,
             report.processor_id);
  } else {
    uci_send("info currmove %s currmovenumber %d", move_text, report.move_number);
  }
}

void uci_send_statistics(const statistics_report_t& report) {
  uci_send("info time %.0f nodes %" PRId64 " nps %.0f cpuload %.0f", report.time * 1000.0, report.nodes, report.speed,
           report.cpu * 1000.0);
  uci_send("info hashfull %.0f", report.hashfull);
}

void uci_send_bestmove(const best_move_report_t& report) {
  // No legal move: the protocol's "0000" rather than the text of move 0.
  if (report.move == MOVE_NONE) {
    uci_send("bestmove 0000");
    return;
  }
  char move_text[8];
  char ponder_text[8];
  move_to_text(report.move, move_text);
  if (report.ponder != MOVE_NONE) {
    uci_send("bestmove %s ponder %s", move_text, move_to_text(report.ponder, ponder_text));
  } else {
    uci_send("bestmove %s", move_text);
  }
}

void uci_send_postmove(const postmove_report_t& report) {
  char move_text[8];
  move_to_text(report.move, move_text);
  uci_send(
      "info postmove %s postmovenumber %d postprocessorid %d posttime %.0f postnodes %" PRId64
      " postnps %.0f postworkalpha %d postworkbeta %d posteval % d posttimestamp %s - %s",
      move_text, report.move_number, report.processor_id, report.time * 1000.0, report.nodes, report.speed,
      report.alpha, report.beta, report.value, report.start_time_text, report.end_time_text);
}

void search_output_install() {
  search_set_callbacks(SearchCallbacks{uci_send_iteration, uci_send_best_lines, uci_send_current_move,
                                       uci_send_statistics, uci_send_bestmove, uci_send_postmove});
}
