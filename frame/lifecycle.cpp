#include "frame/lifecycle.h"

#include <cstdio>

#include "base/fatal.h"
#include "base/log.h"
#include "base/option.h"
#include "base/protocol_flags.h"
#include "base/random.h"
#include "base/timer.h"
#include "base/version.h"
#include "base/ybwc_manager.h"
#include "chess/board.h"
#include "cluster/engine_hooks.h"
#include "cluster/history_broadcast.h"
#include "cluster/membership.h"
#include "cluster/message_service.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/slave_cycle.h"
#include "frame/auto_tester.h"
#include "frame/command_line.h"
#include "frame/engine_tables.h"
#include "frame/manager_init.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "search/driver.h"
#include "sharing/table_memory.h"
#include "uci/engine_init.h"
#include "uci/go.h"
#include "uci/loop.h"
#include "uci/position.h"
#include "uci/setoption.h"
#include "uci/uci_send.h"

namespace {

constexpr uint32_t kFinalizeBoundSeconds = 5;
// The pause before this process's MPI finalisation, worked out while the
// manager still knows the job.
uint32_t FinalizeDelayMs = 0;
// The exit code the process ends with after finalize_environment (the
// caller's; a fatal error's is 1).
int PlannedExitCode = 0;

// From MPI finalisation on: the part of the shutdown that also follows a
// failed MPI start-up.
void finalize_from_mpi(int exit_code_if_stuck) {
  if (MPIWrapper_GetInstance()->bInitialized) {
    // The processes finalise one after the other where that matters (see
    // YBWCManager_FinalizeDelayMs); should one stay stuck in the
    // finalisation all the same, every message of the job has been exchanged
    // by now, and it ends anyway.
    int32_t size = 1;
    const bool several = MPIWrapper_Comm_size(&size) == 0 && size > 1;
    if (several) {
      platform_sleep_ms(FinalizeDelayMs);
      platform_exit_after(kFinalizeBoundSeconds, exit_code_if_stuck);
    }
    const int32_t code = MPIWrapper_Finalize();
    if (several) platform_exit_after(0, 0);
    if (code != 0) {
      YBWCManager* manager = YBWCManager_GetInstance();
      YBWCManager_RestoreLogSettings(manager);
      YBWCManager_Log(manager, "ERROR MPI finalize failed, errorcode = %d\n", code);
      YBWCManager_Destruct(manager);
    }
  }
  MPIWrapper_Release();

  YBWCManager* fresh = YBWCManager_GetInstance();
  YBWCManager_RestoreLogSettings(fresh);
  YBWCManager_Log(fresh, "done\n");

  if (EngineReady) {
    EngineReady = false;
    engine_tables_release_per_game();
  }
  option_release_all();
  YBWCManager_Destruct(fresh);
  LogSettings_Release();
}

void write_banner(YBWCManager* manager) {
  if (manager->bRootMaster) {
    std::fprintf(stdout, "%s %s by %s\n", kEngineName, kEngineVersion, kEngineAuthors);
    std::fflush(stdout);
    YBWCManager_SaveLogSettings(manager);
    manager->pConfiguration->bLogToStdout = 0;
    YBWCManager_Log(manager, "%s (root master) %s by %s\n", kEngineName, kEngineVersion, kEngineAuthors);
    YBWCManager_RestoreLogSettings(manager);
  } else {
    YBWCManager_Log(manager, "%s (non root master) %s by %s\n", kEngineName, kEngineVersion, kEngineAuthors);
  }
}

// What the root master's requests do to a non root master's engine and
// tables, and the hash-size steps on every rank.
void install_engine_hooks() {
  ClusterEngineHooks hooks{};
  hooks.init_engine_once = init_engine_once;
  hooks.parse_position = parse_position;
  hooks.parse_go = parse_go;
  hooks.apply_option = apply_forwarded_option;
  hooks.alloc_tables = engine_tables_alloc;
  hooks.detach_shared_tables = engine_tables_detach_attached_segments;
  hooks.detach_transposition_table = engine_tables_detach_transposition_table;
  hooks.delete_transposition_table = engine_tables_delete_transposition_table;
  hooks.realloc_transposition_table = engine_tables_realloc_transposition_table;
  YBWCManager_SetEngineHooks(&hooks);
  YBWCManager_SetHistoryAccumulation(YBWCManager_AccumulateHistoryUpdate, YBWCManager_AccumulateHistTotUpdate);
}

// A non root master that ends through a fatal error while the others run
// would leave them waiting for it for ever (MPI finalisation waits for every
// process): the whole job ends instead.
bool non_root_master_ends_alone(const YBWCManager* manager) {
  return manager->nSize > 1 && !manager->bRootMaster && manager->bFatalInProgress;
}

// Only the protocol layer writes protocol lines: the message service's
// keep-alive goes through it.
void send_keep_alive() { uci_send("info keepalive"); }

bool tester_active() { return YBWCManager_GetInstance()->pAutoTester->bActive != 0; }
const char* tester_next_line() { return AutoTester_GetNextUCIString(YBWCManager_GetInstance()->pAutoTester); }
void tester_deactivate() { YBWCManager_GetInstance()->pAutoTester->bActive = 0; }

}  // namespace

void finalize_environment(const char* reason) {
  YBWCManager* manager = YBWCManager_GetInstance();
  YBWCManager_Log(manager, "%s", reason);
  YBWCManager_SaveLogSettings(manager);
  if (non_root_master_ends_alone(manager)) {
    YBWCManager_Log(manager, "ERROR non root master %d cannot go on: the job is ended\n", manager->nRank);
    engine_tables_release_created_segments();
    MPIWrapper_Abort(1);
  }
  const int exit_code = manager->bFatalInProgress ? 1 : PlannedExitCode;
  FinalizeDelayMs = YBWCManager_FinalizeDelayMs(manager);
  YBWCManager_Destruct(manager);  // runs the manager's finalisation: log-off and shutdown of the others
  if (!YBWCManager_JobShutDownInOrder()) {
    YBWCManager_Log(YBWCManager_GetInstance(), "ERROR not every rank has shut down: the job is ended\n");
    MPIWrapper_Abort(1);
  }
  finalize_from_mpi(exit_code);
}

void main_loop() {
  EngineReady = false;
  SearchRunning = false;
  SearchUnbounded = false;
  Delay = false;
  search_clear();
  search_set_input_fen(START_FEN);

  YBWCManager* manager = YBWCManager_GetInstance();
  manager->nState = NODE_STATE_IDLE;
  if (manager->bRootMaster) {
    const int32_t code = YBWCManager_HookPosition(manager, "position startpos");
    if (code != 0) QLOG(1, "ERROR loop_step(... failed at YBWCManager_HookPosition(..., errorcode = %d\n", code);
    while (!manager->bFatalInProgress) {
      YBWCManager_ServiceMessages(manager);
      if (stdin_has_input() || manager->pAutoTester->bActive) {
        loop_step();
      } else {
        Timer_WaitForInterval(manager->pRootPollTimer);
      }
    }
  } else {
    init_engine_once();
    while (manager->nState != NODE_STATE_SHUTDOWN) {
      YBWCManager_ServiceMessages(manager);
      YBWCManager_CheckSendRequestForWork(manager);
      if (manager->nState == NODE_STATE_IDLE) Timer_WaitForInterval(manager->pNonRootPollTimer);
    }
  }
}

int node_main(int argc, char** argv) {
  set_shutdown_handler(finalize_environment);
  loop_set_command_script(CommandScript{tester_active, tester_next_line, tester_deactivate});
  uci_search_hooks_install();
  install_engine_hooks();
  YBWCManager_SetKeepAliveWriter(send_keep_alive);
  option_reset_all();

  const int32_t mpi_code = MPIWrapper_Init(&argc, &argv);
  if (mpi_code != 0) {
    YBWCManager* manager = YBWCManager_GetInstance();
    YBWCManager_RestoreLogSettings(manager);
    YBWCManager_Log(manager, "ERROR MPI init failed, errorcode = %d\n", mpi_code);
    YBWCManager_Destruct(manager);
    finalize_from_mpi(1);
    return 1;
  }

  YBWCManager* manager = YBWCManager_GetInstance();
  const int32_t init_code = YBWCManager_Init(manager, &argc, &argv);
  const bool stop_requested = manager->pCommandLine != nullptr && manager->pCommandLine->bStopRequest;
  if (init_code != 0) {
    if (!stop_requested) YBWCManager_Log(manager, "ERROR YBWCManager_Init(... failed, errorcode = %d\n", init_code);
    PlannedExitCode = 1;
    finalize_environment("finalizing environment...\n");
    return 1;
  }

  YBWCManager_Log(manager,
                  manager->bRootMaster ? "root environment for <%s> successfully initialized\n"
                                       : "non root environment for <%s> successfully initialized\n",
                  manager->sLocalProcessorName);
  if (stop_requested) {
    const int exit_code = manager->pCommandLine->nExitCode;
    PlannedExitCode = exit_code;
    finalize_environment("finalizing environment...\n");
    return exit_code;
  }

  std::setvbuf(stdout, nullptr, _IONBF, 0);
  random_seed(static_cast<uint32_t>(platform_time_seconds()));
  write_banner(manager);
  engine_startup();

  main_loop();
  finalize_environment("finalizing environment...\n");
  return 0;
}
