#include "search/driver.h"

#include <algorithm>
#include <ctime>

#include "base/log.h"
#include "base/option.h"
#include "base/protocol_flags.h"
#include "base/ybwc_manager.h"
#include "chess/book.h"
#include "chess/history.h"
#include "chess/killer.h"
#include "chess/sort.h"
#include "chess/trans.h"
#include "chess/value.h"
#include "cluster/membership.h"
#include "platform/clock.h"
#include "search/report.h"
#include "search/root_search.h"
#include "search/search_parameters.h"
#include "search/search_records.h"
#include "search/stack.h"

namespace {

constexpr int kDepthMax = 64;            // iterations run up to depth 63
constexpr int kSingleMoveDepthLimit = 4;  // a forced move needs no deep search
constexpr int kEasyMoveMargin = 150;

board_state_t SearchInput;
bool SearchInputSet = false;
// Set while search() can catch an abandonment: a check made at any other
// time (between searches, while a result is wound up) must not leave.
bool AbandonTargetSet = false;
// Reads the commands that arrived while the search runs; none: nothing is read.
void (*InputPoll)() = nullptr;

bool is_slave() { return SearchControl->bSearchingSubproblem && SearchControl->pWorkItem != nullptr; }
bool is_slave_rerun() { return is_slave() && SearchControl->bSlaveRerun; }

const PellamConfiguration& configuration() {
  static const PellamConfiguration kDefaults{};
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  return config != nullptr ? *config : kDefaults;
}

double real_seconds() { return static_cast<double>(platform_tick_ms()) / 1000.0; }
double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void timer_start() {
  search_timer_t& timer = SearchCurrent->timer;
  timer.start_real = real_seconds();
  timer.start_cpu = cpu_seconds();
  timer.elapsed_real = 0.0;
  timer.elapsed_cpu = 0.0;
  timer.running = true;
}

void search_best_clear(search_best_t& best) {
  best.move = MOVE_NONE;
  best.value = 0;
  best.flags = 0;
  best.depth = 0;
  best.pv[0] = MOVE_NONE;
}

void search_best_copy(search_best_t& to, const search_best_t& from) {
  to.move = from.move;
  to.value = from.value;
  to.flags = from.flags;
  to.depth = from.depth;
  std::copy(std::begin(from.pv), std::end(from.pv), std::begin(to.pv));
}

// Step 1 of a search start: the records a new search begins from.
void search_records_clear() {
  search_limits_t& limits = *SearchLimits;
  limits.bInfinite = false;
  limits.bDepthIsLimited = false;
  limits.nDepthLimit = 0;
  limits.bTimeIsLimited = false;
  limits.dTimeLimit1 = 0.0;
  limits.dTimeLimit2 = 0.0;
  limits.nMultiPV = 0;

  const PellamConfiguration& config = configuration();
  SearchInfo->bCanStop = false;
  SearchInfo->stop = false;
  SearchInfo->check_nb = config.nCheckNb;
  SearchInfo->check_inc = config.nCheckInc;
  SearchInfo->check_nb_mpi_poll = config.nCheckNbMPIPoll;
  SearchInfo->check_inc_mpi_poll = config.nCheckIncMPIPoll;
  SearchInfo->check_nb_mpi_poll_min = config.nCheckNbMPIPoll;
  SearchInfo->last_time = 0.0;
  HeightOffset = 0;

  // Every line, not only the one searched last: a line left from the previous
  // position must never be reported or restored for this one.
  for (search_best_t& best : SearchBest) search_best_clear(best);
  root_progress_t& progress = *RootProgress;
  progress.nDepth = progress.nMove = progress.nMovePos = progress.nMoveCount = progress.nLastValue = 0;
  progress.bBadIteration = progress.bBadPreviousIteration = false;
  progress.bChanged = progress.bEasy = progress.bStopSearch = false;
  progress.list.count = 0;

  if (!is_slave_rerun()) {
    SearchCurrent->node_local_nb = 0;
    SearchCurrent->max_depth = 0;
    SearchCurrent->max_height = 0;
    if (YBWCManager_IsRootMaster()) {
      SearchCurrent->time = 0.0;
      SearchCurrent->speed = 0.0;
      SearchCurrent->cpu = 0.0;
      SearchCurrent->node_nb = 0;
    }
  }
}

// The caller's limits and position; the line count and the root list are the
// search's own (search() sets them).
void search_limits_set(const search_limits_t& limits) {
  SearchLimits->bInfinite = limits.bInfinite;
  SearchLimits->bDepthIsLimited = limits.bDepthIsLimited;
  SearchLimits->nDepthLimit = limits.nDepthLimit;
  SearchLimits->bTimeIsLimited = limits.bTimeIsLimited;
  SearchLimits->dTimeLimit1 = limits.dTimeLimit1;
  SearchLimits->dTimeLimit2 = limits.dTimeLimit2;
  SearchLimits->board = limits.board;
}

// The root list in its first order: by move code, then by the ordering
// scores with the transposition move first.
void order_root_list(move_list_t& list, const board_state_t& board) {
  std::stable_sort(list.moves, list.moves + list.count);
  int trans_move = MOVE_NONE;
  if (SearchParameters->bUseTranspositionTable && Trans != nullptr && Trans->table != nullptr) {
    entry_t* entry = nullptr;
    int move = MOVE_NONE, depth = 0, bound = 0, value = 0;
    if (trans_probe(Trans, board.hash_key, &entry, &move, &depth, &bound, &value)) trans_move = move;
  }
  move_list_score_full(list, board, trans_move, killer_get(0, 0), killer_get(0, 1));
  move_list_sort(list);
}

void advance_transposition_date() {
  if (Trans == nullptr || Trans->table == nullptr) return;
  if (YBWCManager_IsRootMaster()) {
    trans_new_date(Trans);
    QLOG(6, "root date after inc = %d\n", Trans->current_date);
  } else if (SearchControl->pWorkItem != nullptr) {
    trans_date_set(Trans, SearchControl->pWorkItem->nTransDate);
    QLOG(6, "update date for subjob = %d\n", Trans->current_date);
  }
}

int first_iteration_depth() {
  if (!is_slave()) return 1;
  const int depth = SearchControl->pWorkItem->nDepth;
  const int start = configuration().nSlaveStartIIDDepth;
  if (start == 0) return depth;
  if (start > 0) return std::min(start, depth);
  return std::max(depth + start, 1);
}

// Stop tests after one root search of an iteration.
bool iteration_says_stop(int depth) {
  const search_limits_t& limits = *SearchLimits;
  root_progress_t& progress = *RootProgress;
  const double time = SearchCurrent->time;
  if (limits.bDepthIsLimited && SearchCurrent->multipv >= limits.nMultiPV && depth >= limits.nDepthLimit)
    progress.bStopSearch = true;
  if (limits.bTimeIsLimited) {
    if (time >= limits.dTimeLimit1 && !progress.bBadPreviousIteration) progress.bStopSearch = true;
    if (time >= 0.2 * limits.dTimeLimit1 && progress.bEasy) progress.bStopSearch = true;
    if (time >= 0.6 * limits.dTimeLimit1 && !progress.bBadPreviousIteration && !progress.bChanged)
      progress.bStopSearch = true;
  }
  return SearchInfo->bCanStop && (SearchInfo->stop || (progress.bStopSearch && !limits.bInfinite));
}

// Runs the iterations; returns normally when a stop rule ends the search and
// leaves through SearchAbandoned when search_check abandons it.
void run_iterations(int first_depth) {
  move_list_t& list = RootProgress->list;
  const bool master = !is_slave();
  for (int depth = first_depth; depth < kDepthMax; ++depth) {
    if (!master) {
      const search_work_item_t& item = *SearchControl->pWorkItem;
      if (item.nDepth != SearchLimits->nDepthLimit)
        QLOG(1, "ERROR search(... failed: depth limit has changed actual = %d but expected = %d\n",
             SearchLimits->nDepthLimit, item.nDepth);
      if (depth > item.nDepth)
        QLOG(1, "ERROR search(... failed: depth (%d) > pWorkAvailableResult->nDepth (%d)\n", depth, item.nDepth);
      const int skip = configuration().nSlaveIIDDepthSkipToMax;
      if (skip > 0 && depth >= skip) depth = item.nDepth;
    }

    SearchCurrent->multipv = 0;
    report_iteration_start(depth);
    for (int line = 0; line <= SearchLimits->nMultiPV; ++line) {
      SearchCurrent->multipv = line;
      SearchCurrent->depth = depth;
      RootProgress->bBadIteration = false;
      RootProgress->bChanged = false;
      SearchCurrent->board = SearchLimits->board;

      const int search_type = master && depth < 2 ? SEARCH_TYPE_SHORT : SEARCH_TYPE_NORMAL;
      root_search_run(list, SearchCurrent->board, depth, search_type);

      update_search_time();
      if (line == SearchLimits->nMultiPV) report_iteration_end(depth);

      if (depth >= 1) SearchInfo->bCanStop = true;
      if (depth == 1 && list.count >= 2 && list.scores[0] >= list.scores[1] + kEasyMoveMargin)
        RootProgress->bEasy = true;
      if (depth > 1) {
        RootProgress->bBadPreviousIteration = RootProgress->bBadIteration;
        RootProgress->bBadIteration = false;
      }
      RootProgress->nLastValue = SearchBest[0].value;

      if (iteration_says_stop(depth)) return;
      if (SearchInfo->stop && !YBWCManager_IsRootMaster())
        QLOG(1, "ERROR search(... failed at missing break for SearchInfo->stop\n");
    }
  }
}

// After an abandonment: the last confirmed best line, the slaves stopped and
// the stack emptied, so that no entry is ever resumed.
void wind_up_abandoned_search() {
  if (SearchControl->bIterationNotConfirmed) search_best_copy(SearchBest[0], SearchBestLast[0]);
  update_search_time();
  const int32_t code = Stack_Stop();
  if (code != 0) QLOG(1, "ERROR search(... failed at Stack_Stop(..., errorcode = %d\n", code);
  Stack_Reset();
}

// A search that found no move still names a legal one when there is one.
void ensure_best_move() {
  search_best_t& best = SearchBest[0];
  if (best.move != MOVE_NONE || RootProgress->list.count == 0) return;
  best.move = RootProgress->list.moves[0];
  best.pv[0] = static_cast<move_t>(best.move);
  best.pv[1] = MOVE_NONE;
}

}  // namespace

board_state_t& search_input_board() {
  if (!SearchInputSet) {
    board_from_fen(SearchInput, START_FEN);
    SearchInputSet = true;
  }
  return SearchInput;
}

void search_set_input_fen(const char* fen) {
  board_from_fen(SearchInput, fen);
  SearchInputSet = true;
}

void update_search_time() {
  if (YBWCManager_GetInstance()->nState == NODE_STATE_REMOTE_TEST) return;
  search_timer_t& timer = SearchCurrent->timer;
  timer.elapsed_real = std::max(0.0, real_seconds() - timer.start_real);
  timer.elapsed_cpu = std::max(0.0, cpu_seconds() - timer.start_cpu);
  SearchCurrent->time = timer.elapsed_real;
  SearchCurrent->speed = SearchCurrent->time >= 1.0 ? static_cast<double>(SearchCurrent->node_nb) / SearchCurrent->time : 0.0;
  SearchCurrent->cpu = timer.elapsed_real > 0.0 && timer.elapsed_cpu > 0.0
                           ? std::min(1.0, timer.elapsed_cpu / timer.elapsed_real)
                           : 0.0;
}

void search_check() {
  report_statistics();
  if (configuration().bUseEvent && InputPoll != nullptr) InputPoll();

  const search_limits_t& limits = *SearchLimits;
  root_progress_t& progress = *RootProgress;
  const double time = SearchCurrent->time;
  if (limits.bDepthIsLimited && progress.nDepth > limits.nDepthLimit) progress.bStopSearch = true;
  if (limits.bTimeIsLimited && time >= limits.dTimeLimit2) progress.bStopSearch = true;
  if (limits.bTimeIsLimited && time >= limits.dTimeLimit1 && !progress.bBadIteration &&
      !progress.bBadPreviousIteration && progress.nMovePos == 0)
    progress.bStopSearch = true;

  if (AbandonTargetSet && SearchInfo->bCanStop &&
      (SearchInfo->stop || (progress.bStopSearch && !limits.bInfinite))) {
    AbandonTargetSet = false;
    throw SearchAbandoned{};
  }
  if (SearchInfo->stop && !YBWCManager_IsRootMaster())
    QLOG(1, "ERROR search_check(... failed at missing longjmp(... for SearchInfo->stop\n");
}

void search_prepare(move_list_t& list, board_state_t& board) {
  search_parameters_read();
  order_root_list(list, board);
}

namespace {
// Adds the time of a work item's search to the process's busy time.
struct WorkItemTimer {
  double start = real_seconds();
  bool counting = is_slave();
  WorkItemTimer() = default;
  WorkItemTimer(const WorkItemTimer&) = delete;
  WorkItemTimer& operator=(const WorkItemTimer&) = delete;
  ~WorkItemTimer() {
    if (counting) YBWCManager_GetInstance()->dTotalWorkItemTime += real_seconds() - start;
  }
};
}  // namespace

void search() {
  const WorkItemTimer work_item_timer;
  multipv_slots_clear();
  // The option is clamped where it is read: the lines index ten slots.
  SearchLimits->nMultiPV = option_get_int_clamped("MultiPV") - 1;
  SearchLimits->nMultiPV = std::clamp(SearchLimits->nMultiPV, 0, MultiPVMax - 1);
  SearchCurrent->multipv = 0;

  if (option_get_bool("OwnBook") && !SearchLimits->bInfinite && !is_slave() && book_is_open()) {
    const int move = book_pick_move(SearchLimits->board);
    if (move != MOVE_NONE) {
      search_best_t& best = SearchBest[0];
      best.move = move;
      best.value = 1;
      best.flags = SEARCH_FLAGS_EXACT;
      best.depth = 1;
      best.pv[0] = static_cast<move_t>(move);
      best.pv[1] = MOVE_NONE;
      // This search's clock starts before its first report: the reports of a
      // book move must not measure from the previous search's start (or from
      // the clock's zero, the machine's uptime, before the first search).
      timer_start();
      report_best_line();
      return;
    }
  }

  move_list_t& list = SearchLimits->list;
  list.count = 0;  // the generator appends
  movegen_legal(list, SearchLimits->board);
  if (list.count < SearchLimits->nMultiPV + 1) SearchLimits->nMultiPV = std::max(list.count - 1, 0);
  // A slave searches the depth its master needs, also with a single reply.
  if (list.count < 2 && !is_slave()) {
    SearchLimits->nDepthLimit =
        SearchLimits->bDepthIsLimited ? std::min(SearchLimits->nDepthLimit, kSingleMoveDepthLimit) : kSingleMoveDepthLimit;
    SearchLimits->bDepthIsLimited = true;
  }

  SearchControl->bIterationNotConfirmed = false;
  RootProgress->list = list;
  SearchCurrent->board = SearchLimits->board;
  if (!is_slave_rerun()) timer_start();
  advance_transposition_date();
  search_prepare(RootProgress->list, SearchCurrent->board);

  const int first_depth = first_iteration_depth();
  // A slave must obey a stop from its first node; a master keeps its first
  // iteration so that it always has a move to report.
  SearchInfo->bCanStop = is_slave();
  if (first_depth >= kDepthMax) return;
  // A position without legal moves has nothing to search.
  if (list.count == 0) return;

  AbandonTargetSet = true;
  try {
    run_iterations(first_depth);
    AbandonTargetSet = false;
  } catch (const SearchAbandoned&) {
    wind_up_abandoned_search();
  }
  if (!is_slave()) ensure_best_move();
}

void search_go(const search_limits_t& limits) {
  YBWCManager* manager = YBWCManager_GetInstance();
  search_records_clear();
  search_limits_set(limits);

  SearchRunning = true;
  manager->nState = NODE_STATE_SEARCHING;
  Delay = false;
  SearchUnbounded = limits.bInfinite;
  search();
  SearchControl->bSearchFinishing = true;
  update_search_time();
  manager->dTotalSearchTime += SearchCurrent->time;
  SearchRunning = false;
  Delay = SearchUnbounded;

  if (!Delay) report_best_move();
  history_reset();

  const int32_t code = YBWCManager_HookSearchTerminated(manager);
  // The log line keeps the name of the command that starts every root search.
  if (code != 0) QLOG(1, "ERROR parse_go(... failed at YBWCManager_HookSearchTerminated(..., errorcode = %d\n", code);
  SearchControl->bSearchFinishing = false;
  manager->nState = NODE_STATE_IDLE;
}

void search_set_input_poll(void (*poll)()) { InputPoll = poll; }

void search_clear() {
  search_records_clear();
  SearchLimits->board = search_input_board();
}

void search_set_stop_request() { SearchInfo->stop = true; }

bool search_stop_requested() { return SearchInfo->stop; }

void search_clear_infinite() { SearchLimits->bInfinite = false; }

void search_send_best_move() { report_best_move(); }

int search_root_move_slave_rank(int index) {
  if (Stack.nCount < 1 || index < 0 || index >= Stack.entries[0].nMoveCount) return 0;
  return std::max(Stack.entries[0].nSlaveRankList[index], 0);
}
