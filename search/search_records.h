#pragma once
// Search-wide records, one of each per process, shared by the driver (limits,
// time, reporting) and the node searches on the stack (counters, best lines,
// root progress). Each global is an array of one so that the code reads
// `SearchInfo->stop` like the log lines name it.
#include <cstdint>

#include "chess/board.h"
#include "chess/movegen.h"

constexpr int MultiPVMax = 10;
// A principal variation holds at most 255 moves (the height limit) and a 0.
constexpr int PvSize = 256;

// Flags of a best line and of a stored bound.
enum : int { SEARCH_FLAGS_UPPER = 1, SEARCH_FLAGS_LOWER = 2, SEARCH_FLAGS_EXACT = 3 };

// Root search kinds.
enum : int { SEARCH_TYPE_NORMAL = 0, SEARCH_TYPE_SHORT = 1 };

struct search_info_t {
  bool bCanStop;  // the search may be abandoned
  bool stop;      // a stop was requested
  int check_nb;   // nodes left until the next search_check
  int check_inc;
  int check_nb_mpi_poll;  // nodes left until the next message service
  int check_inc_mpi_poll;
  int check_nb_mpi_poll_min;
  double last_time;  // seconds of the last statistics line
};

struct search_limits_t {
  bool bInfinite;
  bool bDepthIsLimited;
  int nDepthLimit;
  bool bTimeIsLimited;
  double dTimeLimit1;  // soft, seconds
  double dTimeLimit2;  // hard, seconds
  int nMultiPV;        // lines minus one
  board_state_t board;
  move_list_t list;
};

// Real and processor time of the running search; kept by the driver.
struct search_timer_t {
  double start_real;
  double start_cpu;
  double elapsed_real;
  double elapsed_cpu;
  bool running;
};

struct search_current_t {
  board_state_t board;  // the one board every node plays on
  search_timer_t timer;
  int max_depth;   // selective depth: highest height reached
  int max_height;
  int depth;       // current iteration depth
  int multipv;     // line being searched
  int64_t node_nb;
  int64_t node_local_nb;  // this process only
  double time;
  double speed;
  double cpu;
};

struct search_best_t {
  int move;
  int value;
  int flags;
  int depth;
  move_t pv[PvSize];  // 0-terminated
};

struct root_progress_t {
  int nDepth;
  int nMove;
  int nMovePos;
  int nMoveCount;
  int nLastValue;
  bool bBadIteration;
  bool bBadPreviousIteration;
  bool bChanged;
  bool bEasy;
  bool bStopSearch;
  move_list_t list;  // the root list of the current search
};

// The part of a received work item the search reads (the slave work cycle
// fills it from the message; killers in pairs for heights 1, 2, ...).
struct search_work_item_t {
  int nCallType;
  int nMove;
  int nDepth;
  int nAlpha;
  int nBeta;
  int nHeight;
  bool bInPV;
  bool bExtended;
  int nPlayedNb;
  bool bGoodCap;
  bool bNoMovePlayedYet;
  int nTransDate;
  int nKillerCount;  // moves in killers, two per height
  move_t killers[2 * PvSize];
};

// The search's flags of the process's manager.
struct search_control_t {
  bool bSearchingSubproblem;    // this process searches a work item (slave)
  bool bSlaveRerun;             // the slave re-runs the same work item
  bool bStoppingActive;         // a master's stop reached this slave
  bool bStackStopgActive;       // Stack_Stop is running
  bool bEnableWorkDistribution; // false while a work item is being sent
  bool bIterationNotConfirmed;  // the running iteration's best move may not be used yet
  bool bSearchFinishing;        // the search has returned and is being wound up
  int64_t nSlaveNodesReceived;  // slave nodes counted for the current root move
  search_work_item_t* pWorkItem;  // the work item on a slave, else null
  // Nesting of the handlers the message service calls from inside the search.
  int nCheckSendWorkRecursionLevel;
  int nProcessSlaveResultRecursionLevel;
};

extern search_info_t SearchInfo[1];
extern search_limits_t SearchLimits[1];
extern search_current_t SearchCurrent[1];
extern search_best_t SearchBest[MultiPVMax];
extern search_best_t SearchBestLast[MultiPVMax];
extern root_progress_t RootProgress[1];
extern search_control_t SearchControl[1];

// Height of the stack's root in the root master's tree (0 on the root master).
extern int HeightOffset;

// Number of processes that take part in the search (1 without a cluster).
int search_process_count();

// ---- Implemented by the driver, called by the node searches ----
// (The reports, report_current_move, report_best_line, report_postmove and
// wall_clock_text, are declared in search/report.h.)

// Statistics, input poll and limits. Does not return when the search is
// abandoned: control leaves through the driver's non-local exit and no stack
// entry is resumed afterwards.
void search_check();
// Time, speed and processor load of SearchCurrent.
void update_search_time();
