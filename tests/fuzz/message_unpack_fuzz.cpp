// libFuzzer target over the unpacking of every request and result type. The
// first byte chooses the record kind and the configuration the receiver
// reads with (attached history tables, number of ranks); the rest is the
// received message. Unpacking must fill the record and nothing else: no
// count beyond its array, no text beyond its field, no write to the manager
// or the history tables.
//
// QUORREL_FUZZ_SEEDS=<dir> writes one packed message of every type into
// <dir> first, as a starting corpus.
#include <mpi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/configuration.h"
#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"

namespace {

constexpr int kRanks = 4;

void write_seed(const char* dir, const std::string& name, uint8_t mode, const char* buffer, int32_t length) {
  const std::string path = std::string(dir) + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fputc(mode, file);
  std::fwrite(buffer, 1, static_cast<size_t>(length), file);
  std::fclose(file);
}

void write_seeds(const char* dir) {
  YBWCManager* manager = YBWCManager_GetInstance();
  manager->nSyncPositionId = 12;
  std::vector<uint16_t> moves(HistorySize, 796);
  auto request = [&](const char* name, auto init) {
    Request* r = Request_Construct();
    if (init(r) == 0) write_seed(dir, name, 0, r->buffer, r->nPosition);
    Request_Destruct(r);
  };
  auto result = [&](const char* name, uint8_t mode, auto init) {
    Result* r = Result_Construct();
    if (init(r) == 0) write_seed(dir, name, mode, r->buffer, r->nPosition);
    Result_Destruct(r);
  };
  for (int rank = 0; rank < kRanks; rank++) {
    manager->pProcessorHandlers[rank] = ProcessorHandler_Construct(rank);
    std::snprintf(manager->pProcessorHandlers[rank]->sProcessorName, kProcessorNameSize, "host%d", rank);
  }
  request("request-01", Request_InitRootMasterLogonInvitation);
  request("request-05", [](Request* r) { return Request_InitRootMasterSyncPosition(r, "position startpos moves e2e4"); });
  request("request-09", [](Request* r) { return Request_InitRootMasterSetOption(r, "Hash", "64"); });
  request("request-10", [](Request* r) { return Request_InitRootMasterRemoteTest(r, "depth 9"); });
  request("request-11", Request_InitRootMasterMachineInfo);
  request("request-13", [](Request* r) { return Request_InitSlaveTryToGetWork(r, 12); });
  request("request-14", [](Request* r) { return Request_InitMasterStop(r, 77); });
  request("request-15", [&](Request* r) {
    return Request_InitSlaveProcessSearchResult(r, 77, 3, 4, 796, 25, 1, 9, 12, 20, moves.data(), 1, 1.5, 2.5, 0.5,
                                                1000, 99);
  });
  request("request-16", [](Request* r) { return Request_InitMasterUpdateSearchWindow(r, 77, -20, 40); });
  HashTableBuffer chunk{256, 0, 3, nullptr};
  request("request-17", [&](Request* r) {
    const int32_t code = Request_InitHashTableBroadcastBuffer(r, &chunk);
    for (int i = 0; i < 3 && code == 0; i++) {
      MPIWrapper_Pack_UINT64(0x1234567ull * (i + 1), r->buffer, &r->nPosition);
      for (int32_t v : {796, 8, 1, 33}) MPIWrapper_Pack_INT(v, r->buffer, &r->nPosition);
    }
    return code;
  });
  MessageContext* context = MessageContext_GetInstance();
  context->pHistoryTableBuffer = context->pHistTotTableBuffer = context->pHistHitTableBuffer = moves.data();
  request("request-19", Request_InitHistoryTableBroadcastBuffer);
  request("request-21", Request_InitHistTotTableBroadcastBuffer);
  *context = MessageContext{};
  result("result-01", 1, Result_InitNonRootMasterLogon);
  result("result-02", 1, Result_InitNonRootMasterLogoff);
  result("result-04", 1, [&](Result* r) {
    return Result_InitNonRootMasterRemoteTest(r, 796, 25, 1, 9, 12, 20, moves.data(), 1, 1.5, 2.5, 0.5, 1000);
  });
  result("result-07", 1, [](Result* r) { return Result_InitMasterNoWorkAvailable(r, 12); });
  history_alloc();
  history_block_reset();
  for (uint8_t mode : {uint8_t{1}, uint8_t{7}}) {
    manager->pConfiguration->bTransmitHistoryTable = mode & 2 ? 1 : 0;
    manager->pConfiguration->bTransmitHistTotTable = mode & 4 ? 1 : 0;
    result(mode == 1 ? "result-08" : "result-08-tables", mode, [&](Result* r) {
      return Result_InitMasterWorkAvailable(r, 3, 4, 2, 230, 796, 9, 8, 4, 1, 1, 2, 100, -20, 40, 3, 0, 6, moves.data(),
                                            20, moves.data());
    });
  }
  history_free();
  for (int rank = 0; rank < kRanks; rank++) {
    ProcessorHandler_Destruct(manager->pProcessorHandlers[rank]);
    manager->pProcessorHandlers[rank] = nullptr;
  }
}

void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "unpacking broke an invariant: %s\n", what);
  std::abort();
}

// A list's count is its initial -1 (not read) or within its array.
void check_count(int32_t count, int32_t capacity, const char* what) { check(count >= -1 && count <= capacity, what); }

YBWCManager Before;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MPI_Init(argc, argv);
  MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  option_reset_all();
  YBWCManager* manager = YBWCManager_GetInstance();
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);
  PellamConfiguration* config = manager->pConfiguration;
  config->bLogToCommonFile = config->bLogToFile = config->bLogToStdout = 0;
  manager->nRank = 0;
  if (const char* dir = std::getenv("QUORREL_FUZZ_SEEDS")) write_seeds(dir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  YBWCManager* manager = YBWCManager_GetInstance();
  const uint8_t mode = data[0];
  manager->pConfiguration->bTransmitHistoryTable = mode & 2 ? 1 : 0;
  manager->pConfiguration->bTransmitHistTotTable = mode & 4 ? 1 : 0;
  manager->nSize = 1 + (mode >> 3) % kRanks;
  const int32_t length = static_cast<int32_t>(size - 1 < kPackBufferSize ? size - 1 : kPackBufferSize);
  std::memcpy(&Before, manager, sizeof Before);

  if (mode & 1) {
    Result* result = Result_Construct();
    std::memcpy(result->buffer, data + 1, static_cast<size_t>(length));
    result->nReceivedLength = length;
    if (Result_GetParameterFromBuffer(result) == 0) {
      check(result->nPosition <= length, "result read past what arrived");
      check_count(result->nPVLength, kPVCapacity - 1, "result pv count");
      check(result->nPVLength < 0 || result->PV[result->nPVLength] == 0, "result pv terminated");
      check_count(result->nMoveAheadListCount, kMoveAheadCapacity, "move-ahead count");
      check_count(result->nKillerListCount, kKillerCapacity, "killer count");
      check_count(result->nHistoryTableCount, HistorySize, "history count");
      check(std::memchr(result->sProcessorName, 0, sizeof result->sProcessorName) != nullptr, "name terminated");
    }
    Result_Destruct(result);
  } else {
    Request* request = Request_Construct();
    std::memcpy(request->buffer, data + 1, static_cast<size_t>(length));
    request->nReceivedLength = length;
    if (Request_GetParameterFromBuffer(request) == 0) {
      check(request->nPosition <= length, "request read past what arrived");
      check_count(request->nPVLength, kPVCapacity - 1, "request pv count");
      check_count(request->nHistoryTableCount, HistorySize, "history increments");
      check_count(request->nHistTotTableCount, HistorySize, "total increments");
      check_count(request->nHistHitTableCount, HistorySize, "hit increments");
      check(request->nHashTableEntryCount >= 0 && request->nHashTableEntryCount <= kHashTableChunkMaxSize, "chunk");
      check(request->psSyncPosition == nullptr || std::strlen(request->psSyncPosition) <= kSyncPositionMaxLength,
            "position text");
      check(request->psOptionName == nullptr || std::strlen(request->psOptionName) <= kOptionTextMaxLength, "option");
      check(request->nProcessorNameCount <= manager->nSize, "names");
    }
    Request_Destruct(request);
  }
  // Reading a message changes nothing outside its record.
  check(std::memcmp(&Before, manager, sizeof Before) == 0, "the manager was written while unpacking");
  return 0;
}
