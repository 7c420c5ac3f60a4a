// The message tests as a real MPI job. Each rank runs GoogleTest; rank 0
// prints the usual report, the other ranks their failures and one closing
// line, so that the job's output tells every rank's verdict.
#include <gtest/gtest.h>
#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/configuration.h"
#include "base/option.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "chess/trans.h"
#include "cluster/message_service.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/processor_handler.h"
#include "sharing/table_memory.h"
#include "job_util.h"

std::function<void(const Request*)> g_on_request;
std::function<void(const Result*)> g_on_result;

int job_rank() { return YBWCManager_GetInstance()->nRank; }
int job_size() { return YBWCManager_GetInstance()->nSize; }

bool serve_until(const std::function<bool()>& done, int timeout_ms) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const double deadline = Timer_Now() + timeout_ms / 1000.0;
  while (!done()) {
    if (Timer_Now() > deadline) return false;
    YBWCManager_ServiceMessages(manager);
  }
  return true;
}

void meet() {
  MPI_Request barrier;
  MPI_Ibarrier(MPI_COMM_WORLD, &barrier);
  int done = 0;
  const bool met = serve_until([&] {
    MPI_Test(&barrier, &done, MPI_STATUS_IGNORE);
    return done != 0;
  }, 120000);
  if (!met) {
    std::fprintf(stderr, "rank %d: the other ranks never arrived\n", job_rank());
    MPI_Abort(MPI_COMM_WORLD, 2);
  }
}

SeenRequest keep(const Request* request) {
  SeenRequest seen;
  auto* copy = static_cast<Request*>(std::malloc(sizeof(Request)));
  std::memcpy(copy, request, sizeof(Request));
  auto text = [](const char* s) { return std::string(s != nullptr ? s : ""); };
  seen.sync_position = text(request->psSyncPosition);
  seen.option_name = text(request->psOptionName);
  seen.option_value = text(request->psOptionValue);
  seen.go_commands = text(request->psGoCommands);
  for (int32_t rank = 0; rank < request->nProcessorNameCount; rank++)
    seen.names.push_back(Request_GetProcessorName(request, rank));
  copy->psSyncPosition = copy->psOptionName = copy->psOptionValue = copy->psGoCommands = nullptr;
  copy->psProcessorNames = nullptr;
  copy->pBroadcastBuffer = nullptr;
  copy->pNext = nullptr;
  seen.record.reset(copy, [](Request* r) { std::free(r); });
  return seen;
}

std::shared_ptr<Result> keep(const Result* result) {
  auto* copy = static_cast<Result*>(std::malloc(sizeof(Result)));
  std::memcpy(copy, result, sizeof(Result));
  copy->pNext = nullptr;
  return std::shared_ptr<Result>(copy, [](Result* r) { std::free(r); });
}

void raw_send(const void* buffer, int32_t length, int destination, int tag) {
  MPI_Send(buffer, length, MPI_PACKED, destination, tag, MPI_COMM_WORLD);
}

void reset_rank_state() {
  YBWCManager* manager = YBWCManager_GetInstance();
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  PellamConfiguration* config = manager->pConfiguration;
  // QUORREL_JOB_LOG_LEVEL=n writes the log lines up to level n to standard
  // output, for looking into a failing case.
  const char* level = std::getenv("QUORREL_JOB_LOG_LEVEL");
  config->bLogToCommonFile = config->bLogToFile = 0;
  config->bLogToStdout = level != nullptr ? 1 : 0;
  config->nPellamDebugLevel = level != nullptr ? std::atoi(level) : 0;
  manager->nState = NODE_STATE_IDLE;
  manager->bLoggedOn = 1;
  manager->nSyncPositionId = 1;
  manager->nTotalNodes = 0;
  manager->nMasterId = -1;
  manager->nNoWorkAvailableInARow = 0;
  manager->nLoggedOnCount = manager->nLoggedOffCount = manager->nShutdownCount = 0;
  manager->nSyncedNewGameCount = manager->nSyncedSetOptionCount = manager->nSyncedAfterBroadcastCount = 0;
  manager->nTotalNodesOfNonRootMasters = 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++) {
    ProcessorHandler* handler = manager->pProcessorHandlers[rank];
    handler->nState = rank == manager->nRank ? 7 : 6;
    handler->bLoggedOn = handler->bSyncedNewGame = handler->bSyncedSetOption = handler->bSyncedAfterBroadcast = 0;
    handler->nBufferedRequestCountMax = handler->nBufferedResultCountMax = 0;
  }
  *ProcessorHandlerWaits_GetInstance() = ProcessorHandlerWaits{5000, 10000};
}

LogCapture::LogCapture(int level) {
  PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  config->nPellamDebugLevel = level;
  config->bLogToStdout = 1;
  ::testing::internal::CaptureStdout();
}

LogCapture::~LogCapture() { text(); }

std::string LogCapture::text() {
  if (!done_) {
    text_ = ::testing::internal::GetCapturedStdout();
    done_ = true;
    YBWCManager_GetInstance()->pConfiguration->bLogToStdout = std::getenv("QUORREL_JOB_LOG_LEVEL") != nullptr;
  }
  return text_;
}

namespace {

// The other ranks report failures and their verdict on one line each.
class RankReport : public ::testing::EmptyTestEventListener {
 public:
  void OnTestPartResult(const ::testing::TestPartResult& part) override {
    if (!part.failed()) return;
    std::printf("rank %d: %s:%d: Failure\n%s\n", job_rank(), part.file_name() ? part.file_name() : "?",
                part.line_number(), part.summary());
    std::fflush(stdout);
  }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (info.result()->Failed()) {
      std::printf("rank %d: [  FAILED  ] %s.%s\n", job_rank(), info.test_suite_name(), info.name());
      std::fflush(stdout);
    }
  }
  void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
    std::printf(unit.Passed() ? "rank %d: [  PASSED  ] %d tests.\n" : "rank %d: [  FAILED  ] %d tests.\n", job_rank(),
                unit.test_to_run_count());
    std::fflush(stdout);
  }
};

void start_rank(int* argc, char*** argv) {
  if (MPIWrapper_Init(argc, argv) != 0) std::exit(1);
  option_reset_all();
  option_set_value("Hash", "4");
  YBWCManager* manager = YBWCManager_GetInstance();
  MPIWrapper_Comm_size(&manager->nSize);
  MPIWrapper_Comm_rank(&manager->nRank);
  manager->bRootMaster = manager->nRank == 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++)
    manager->pProcessorHandlers[rank] = ProcessorHandler_Construct(rank);
  static const MessageObserver observer{[](const Request* r) {
                                          if (g_on_request) g_on_request(r);
                                        },
                                        [](const Result* r) {
                                          if (g_on_result) g_on_result(r);
                                        }};
  YBWCManager_SetMessageObserver(&observer);
  trans_alloc(Trans, 16, manager->nRank, manager->bRootMaster != 0);
  history_set_owner(manager->nRank, manager->bRootMaster != 0);
  // As the engine allocates it: its first reset marks the tables ready for
  // received increments.
  YBWCManager_AllocHistoryTables(manager);
  history_block_reset();
  reset_rank_state();
}

void finish_rank() {
  meet();
  YBWCManager* manager = YBWCManager_GetInstance();
  YBWCManager_SetMessageObserver(nullptr);
  YBWCManager_ReleaseDelayedRequests(manager);
  for (int32_t rank = 0; rank < manager->nSize; rank++) {
    ProcessorHandler_Destruct(manager->pProcessorHandlers[rank]);
    manager->pProcessorHandlers[rank] = nullptr;
  }
  // Nothing is serviced any more: the last messages must not be in flight.
  MPI_Barrier(MPI_COMM_WORLD);
  MPIWrapper_Finalize();
}

}  // namespace

int main(int argc, char** argv) {
  // Sends of more than 1 KB then complete only once the peer has received
  // them, as between hosts: the send queues really fill up.
  setenv("UCX_RNDV_THRESH", "1024", 0);
  ::testing::InitGoogleTest(&argc, argv);
  start_rank(&argc, &argv);
  if (job_rank() != 0) {
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    delete listeners.Release(listeners.default_result_printer());
    listeners.Append(new RankReport);
  }
  const int code = RUN_ALL_TESTS();
  finish_rank();
  return code;
}
