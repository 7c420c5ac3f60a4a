#include "search/report.h"

#include <algorithm>
#include <cstdio>

#include "base/ybwc_manager.h"
#include "chess/trans.h"
#include "chess/value.h"
#include "cluster/processor_handler.h"
#include "platform/clock.h"
#include "search/driver.h"

multipv_report_t MultiPVReport[MultiPVMax];

namespace {

SearchCallbacks Callbacks{};

// Lines to report: nMultiPV + 1, kept inside the ten slots whatever the
// option or the limits hold.
int report_line_count() { return std::clamp(SearchLimits->nMultiPV, 0, MultiPVMax - 1) + 1; }

bool send_additional_info() {
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  return config != nullptr && config->bSendAdditionalUCIInfo != 0;
}

// Entries the other processes of this host last reported writing into a table
// they share with this one.
uint64_t shared_table_entries_of_others() {
  if (!Trans->memory.bShared) return 0;
  const YBWCManager* manager = YBWCManager_GetInstance();
  uint64_t used = 0;
  for (int rank = 0; rank < manager->nSize && rank < kMaxProcessors; ++rank) {
    const ProcessorHandler* handler = ProcessorHandler_Of(rank);
    if (rank != manager->nRank && handler != nullptr && handler->bSameNode) used += handler->nTransUsed;
  }
  return used;
}

statistics_report_t statistics() {
  statistics_report_t report;
  report.time = SearchCurrent->time;
  report.nodes = SearchCurrent->node_nb;
  report.speed = SearchCurrent->speed;
  report.cpu = SearchCurrent->cpu;
  report.hashfull =
      Trans != nullptr && Trans->table != nullptr ? trans_hashfull(Trans, shared_table_entries_of_others()) : 0.0;
  return report;
}

}  // namespace

void search_set_callbacks(const SearchCallbacks& callbacks) { Callbacks = callbacks; }

int value_to_mate(int value) {
  if (value > ValueEvalInf) return (ValueMate + 1 - value) / 2;
  if (value < -ValueEvalInf) return -((value + ValueMate) / 2);
  return 0;
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

void multipv_slots_clear() {
  for (multipv_report_t& slot : MultiPVReport) {
    slot.mate = slot.depth = slot.max_depth = slot.value = 0;
    slot.time = 0.0;
    slot.nodes = 0;
    slot.pv[0] = MOVE_NONE;
  }
}

void report_iteration_start(int depth) {
  if (Callbacks.on_iteration == nullptr) return;
  Callbacks.on_iteration(iteration_report_t{depth, false, 0, 0.0, 0, 0.0});
}

void report_iteration_end(int depth) {
  if (Callbacks.on_iteration == nullptr) return;
  Callbacks.on_iteration(iteration_report_t{depth, true, SearchCurrent->max_depth, SearchCurrent->time,
                                            SearchCurrent->node_nb, SearchCurrent->speed});
}

void report_statistics() {
  update_search_time();
  if (SearchCurrent->time < SearchInfo->last_time + 1.0) return;
  SearchInfo->last_time = SearchCurrent->time;
  if (Callbacks.on_statistics != nullptr) Callbacks.on_statistics(statistics());
}

void report_best_move() {
  const search_best_t& best = SearchBest[0];
  best_move_report_t report;
  report.statistics = statistics();
  report.move = best.move;
  report.ponder = MOVE_NONE;
  if (best.move != MOVE_NONE && best.pv[0] == best.move && best.pv[1] != MOVE_NULL) report.ponder = best.pv[1];
  if (Callbacks.on_statistics != nullptr) Callbacks.on_statistics(report.statistics);
  if (Callbacks.on_bestmove != nullptr) Callbacks.on_bestmove(report);
}

void report_current_move() {
  update_search_time();
  if (SearchCurrent->time < 1.0 || Callbacks.on_current_move == nullptr) return;
  current_move_report_t report;
  report.move = RootProgress->nMove;
  report.move_number = RootProgress->nMovePos + 1;
  report.with_processor_id = send_additional_info();
  report.processor_id = report.with_processor_id ? search_root_move_slave_rank(RootProgress->nMovePos) : 0;
  Callbacks.on_current_move(report);
}

void report_best_line() {
  update_search_time();
  const int line = std::clamp(SearchCurrent->multipv, 0, MultiPVMax - 1);
  const search_best_t& best = SearchBest[line];

  multipv_report_t slot;
  std::copy(std::begin(best.pv), std::end(best.pv), std::begin(slot.pv));
  slot.mate = value_to_mate(best.value);
  slot.depth = best.depth;
  slot.max_depth = SearchCurrent->max_depth;
  slot.value = best.value;
  slot.time = SearchCurrent->time * 1000.0;
  slot.nodes = SearchCurrent->node_nb;
  multipv_slot_place(MultiPVReport, line, slot);

  const int lines = report_line_count();
  if ((best.depth > 1 || (best.depth == 1 && line == lines - 1)) && Callbacks.on_best_lines != nullptr) {
    Callbacks.on_best_lines(best_lines_report_t{MultiPVReport, lines, best.flags});
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
  if (Callbacks.on_postmove == nullptr) return;
  postmove_report_t report;
  report.move = move;
  report.move_number = index + 1;
  report.processor_id = std::max(slave_rank, 0);
  report.time = elapsed;
  report.nodes = nodes;
  report.speed = elapsed >= 1.0 ? static_cast<double>(nodes) / elapsed : 0.0;
  report.alpha = alpha;
  report.beta = beta;
  report.value = value;
  char end_time_text[16];
  wall_clock_text(end_time_text, sizeof end_time_text);
  report.start_time_text = start_time_text;
  report.end_time_text = end_time_text;
  Callbacks.on_postmove(report);
}

void wall_clock_text(char* text, std::size_t size) {
  const LocalTime now = platform_local_time();
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u.%03u", static_cast<unsigned>(now.hour) % 100u,
                static_cast<unsigned>(now.minute) % 100u, static_cast<unsigned>(now.second) % 100u,
                static_cast<unsigned>(now.millisecond) % 1000u);
  std::snprintf(text, size, "%s", buffer);
}
