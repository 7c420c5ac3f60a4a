// quorrel-message-bench: the cost of the message path, under mpiexec -n 2.
//
//   mpiexec -n 2 build/quorrel-message-bench [round trips per series] [series]
//
// Rank 0 measures, in alternating series so that both see the same load:
//  - raw: a 4-byte MPI_Isend to rank 1 and MPI_Iprobe/MPI_Recv of its echo;
//  - full path: a REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST request
//    created on rank 1's handler, packed, queued, sent, received, unpacked
//    and dispatched by rank 1, whose dispatcher answers with
//    RESULT_TYPE_SYNC_AFTER_BROADCAST through the same path, until rank 0's
//    dispatcher marks rank 1's handler synced;
// then the cost of one YBWCManager_ServiceMessages call with nothing pending.
#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/configuration.h"
#include "base/option.h"
#include "base/ybwc_manager.h"
#include "cluster/message_send.h"
#include "cluster/message_service.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/processor_handler.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRawTag = 99;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Figures {
  double median;
  double p99;
};

Figures summarise(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

void start(int* argc, char*** argv) {
  if (MPIWrapper_Init(argc, argv) != 0) std::exit(1);
  option_reset_all();
  YBWCManager* manager = YBWCManager_GetInstance();
  MPIWrapper_Comm_size(&manager->nSize);
  MPIWrapper_Comm_rank(&manager->nRank);
  manager->bRootMaster = manager->nRank == 0;
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  PellamConfiguration* config = manager->pConfiguration;
  config->bLogToCommonFile = config->bLogToFile = config->bLogToStdout = 0;
  for (int32_t rank = 0; rank < manager->nSize; rank++)
    manager->pProcessorHandlers[rank] = ProcessorHandler_Construct(rank);
  manager->nState = NODE_STATE_IDLE;
  manager->bLoggedOn = 1;
}

// Rank 1: echoes raw messages and services engine messages until told to stop.
void serve() {
  YBWCManager* manager = YBWCManager_GetInstance();
  int payload = 0;
  for (;;) {
    int flag = 0;
    MPI_Status status;
    MPI_Iprobe(0, kRawTag, MPI_COMM_WORLD, &flag, &status);
    if (flag) {
      MPI_Recv(&payload, 1, MPI_INT, 0, kRawTag, MPI_COMM_WORLD, &status);
      if (payload < 0) return;
      MPI_Request send;
      MPI_Isend(&payload, 1, MPI_INT, 0, kRawTag, MPI_COMM_WORLD, &send);
      for (int done = 0; !done;) MPI_Test(&send, &done, MPI_STATUS_IGNORE);
    }
    YBWCManager_ServiceMessages(manager);
  }
}

std::vector<double> raw_round_trips(int count) {
  std::vector<double> samples;
  samples.reserve(count);
  int payload = 0;
  for (int i = 0; i < count; i++) {
    const auto t0 = Clock::now();
    payload = i;
    MPI_Request send;
    MPI_Isend(&payload, 1, MPI_INT, 1, kRawTag, MPI_COMM_WORLD, &send);
    for (int done = 0; !done;) MPI_Test(&send, &done, MPI_STATUS_IGNORE);
    int flag = 0;
    MPI_Status status;
    while (!flag) MPI_Iprobe(1, kRawTag, MPI_COMM_WORLD, &flag, &status);
    MPI_Recv(&payload, 1, MPI_INT, 1, kRawTag, MPI_COMM_WORLD, &status);
    samples.push_back(micros(Clock::now() - t0));
  }
  return samples;
}

std::vector<double> full_path_round_trips(int count) {
  YBWCManager* manager = YBWCManager_GetInstance();
  ProcessorHandler* peer = ProcessorHandler_Of(1);
  std::vector<double> samples;
  samples.reserve(count);
  for (int i = 0; i < count; i++) {
    peer->bSyncedAfterBroadcast = 0;
    const auto t0 = Clock::now();
    send_request(1, "bench", "Request_InitNonRootMasterSyncAfterBroadcast", Request_InitNonRootMasterSyncAfterBroadcast);
    while (!peer->bSyncedAfterBroadcast) YBWCManager_ServiceMessages(manager);
    samples.push_back(micros(Clock::now() - t0));
  }
  return samples;
}

double idle_service_call(int calls) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const auto t0 = Clock::now();
  for (int i = 0; i < calls; i++) YBWCManager_ServiceMessages(manager);
  return micros(Clock::now() - t0) / calls * 1000.0;
}

double idle_probe(int calls) {
  const auto t0 = Clock::now();
  for (int i = 0; i < calls; i++) {
    int flag = 0;
    MPI_Status status;
    MPIWrapper_Iprobe(MESSAGE_TAG_REQUEST, &flag, &status);
  }
  return micros(Clock::now() - t0) / calls * 1000.0;
}

void measure(int count, int series) {
  std::vector<double> raw, full;
  raw_round_trips(count / 10);  // warm-up
  full_path_round_trips(count / 10);
  for (int s = 0; s < series; s++) {
    const std::vector<double> r = raw_round_trips(count);
    const std::vector<double> f = full_path_round_trips(count);
    raw.insert(raw.end(), r.begin(), r.end());
    full.insert(full.end(), f.begin(), f.end());
  }
  const Figures raw_figures = summarise(raw);
  const Figures full_figures = summarise(full);
  std::printf("round trips: %zu raw, %zu full path, in %d alternating series\n", raw.size(), full.size(), series);
  std::printf("raw MPI_Isend/MPI_Iprobe ping-pong: median %.2f us, p99 %.2f us\n", raw_figures.median, raw_figures.p99);
  std::printf("full path request and answer:      median %.2f us, p99 %.2f us\n", full_figures.median,
              full_figures.p99);
  std::printf("full path / raw: median %.2fx, p99 %.2fx\n", full_figures.median / raw_figures.median,
              full_figures.p99 / raw_figures.p99);
  // Rank 1 now waits in the raw echo loop without sending: nothing is pending here.
  idle_service_call(100000);
  std::printf("YBWCManager_ServiceMessages with nothing pending: %.1f ns per call\n", idle_service_call(2000000));
  std::printf("one MPIWrapper_Iprobe with nothing pending:       %.1f ns per call\n", idle_probe(2000000));
}

}  // namespace

int main(int argc, char** argv) {
  start(&argc, &argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int series = argc > 2 ? std::atoi(argv[2]) : 5;
  if (YBWCManager_GetInstance()->nSize != 2) {
    if (YBWCManager_GetInstance()->nRank == 0) std::fprintf(stderr, "run under mpiexec -n 2\n");
    MPIWrapper_Finalize();
    return 2;
  }
  if (YBWCManager_GetInstance()->nRank == 0) {
    measure(count, series);
    int stop = -1;
    MPI_Send(&stop, 1, MPI_INT, 1, kRawTag, MPI_COMM_WORLD);
  } else {
    serve();
  }
  MPI_Barrier(MPI_COMM_WORLD);
  MPIWrapper_Finalize();
  return 0;
}
