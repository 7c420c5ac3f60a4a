// Start-up and destruction of the process's manager: its identity in the
// job, the records it owns and the logon of the other ranks.
#include "frame/manager_init.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "base/log.h"
#include "base/timer.h"
#include "base/ybwc_manager.h"
#include "cluster/broadcast_send.h"
#include "cluster/membership.h"
#include "cluster/message_service.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/processor_handler.h"
#include "frame/auto_tester.h"
#include "frame/command_line.h"

namespace {

// Steps 2 to 7 of the start-up, which log their failures without a level
// check under the restored log settings.
int32_t init_identity(YBWCManager* manager) {
  int32_t code = MPIWrapper_Comm_size(&manager->nSize);
  if (code != 0) {
    YBWCManager_Log(manager, "ERROR YBWCManager_Init(... failed at MPIWrapper_Comm_size(..., errorcode = %d\n", code);
    return code;
  }
  if (manager->nSize > kMaxProcessors) {
    YBWCManager_Log(manager, "ERROR YBWCManager_Init(... failed, %d processes exceed the limit of %d\n",
                    manager->nSize, kMaxProcessors);
    return 15;
  }
  for (int32_t rank = 0; rank < manager->nSize; ++rank) {
    manager->pProcessorHandlers[rank] = ProcessorHandler_Construct(rank);
  }
  code = MPIWrapper_Comm_rank(&manager->nRank);
  if (code != 0) {
    YBWCManager_Log(manager, "ERROR YBWCManager_Init(... failed at MPIWrapper_Comm_rank(..., errorcode = %d\n", code);
    return code;
  }
  manager->bRootMaster = manager->nRank == 0;

  char name[MPI_MAX_PROCESSOR_NAME + 1] = {};
  int32_t length = 0;
  if (MPIWrapper_Get_processor_name(name, &length) != 0) {
    YBWCManager_Log(manager,
                    "ERROR YBWCManager_Init(... failed at MPIWrapper_Get_processor_name(..., errorcode = %d\n", 15);
    return 15;
  }
  std::snprintf(manager->sLocalProcessorName, sizeof manager->sLocalProcessorName, "%s", name);

  if (manager->bRootMaster) {
    YBWCManager_SaveLogSettings(manager);
    manager->pConfiguration->bLogToStdout = 0;
    YBWCManager_Log(manager, "Root processor name is <%s>\n", manager->sLocalProcessorName);
    YBWCManager_RestoreLogSettings(manager);
    std::snprintf(manager->pProcessorHandlers[0]->sProcessorName,
                  sizeof manager->pProcessorHandlers[0]->sProcessorName, "%s", manager->sLocalProcessorName);
  }

  manager->pCommandLine = CommandLine_Construct(manager->pArgc, manager->pArgv);
  if (CommandLine_Parse(manager->pCommandLine) != 0) {
    YBWCManager_Log(manager, "ERROR YBWCManager_Init(... failed at CommandLine_Parse(..., errorcode = %d\n", 15);
    return 15;
  }
  if (*manager->pArgc > 1 && manager->bRootMaster) CommandLine_Dump(manager->pCommandLine, manager);
  return 0;
}

}  // namespace

int32_t YBWCManager_Init(YBWCManager* manager, int* pArgc, char*** pArgv) {
  manager->pArgc = pArgc;
  if (manager->pAutoTester == nullptr) manager->pAutoTester = AutoTester_Construct();
  manager->pArgv = pArgv;
  YBWCManager_RestoreLogSettings(manager);

  int32_t result = init_identity(manager);
  if (result != 0) return result;

  PellamConfiguration_Init(manager->pConfiguration, "Quorrel.ini");
  PellamConfiguration_ReadFromOptions(manager->pConfiguration);

  const PellamConfiguration* config = manager->pConfiguration;
  manager->pDumpTimers[0] = Timer_Create(static_cast<uint32_t>(config->nDebugWaitForSlaveRate));
  manager->pDumpTimers[1] = Timer_Create(static_cast<uint32_t>(config->nDebugWaitForWorkRate));
  manager->pDumpTimers[2] = Timer_Create(static_cast<uint32_t>(config->nDebugAtWorkRate));
  manager->pDumpTimers[3] = Timer_Create(static_cast<uint32_t>(config->nDebugAwaitingResultRate));
  YBWCManager_ConstructBroadcastBuffers(manager);

  // After --help, --version or a command-line error every rank stops: the
  // other ranks never log on, so the root master does not wait for them.
  if (manager->bRootMaster && !manager->pCommandLine->bStopRequest) {
    AutoTester_CommandLineToTests(manager->pAutoTester, manager->pCommandLine);
    if (manager->pAutoTester->bActive) AutoTester_Dump(manager->pAutoTester, manager);
    int32_t code = YBWCManager_WaitForNonRootMasterStartedUp(manager);
    if (code != 0) {
      QLOG(1, "ERROR YBWCManager_Init(... failed at YBWCManager_WaitForNonRootMasterStartedUp(..., errorcode = %d\n",
           15);
      result = 15;
    } else {
      YBWCManager_AnalyzeHostTopology(manager);
      code = YBWCManager_SendMachineInfo(manager);
      if (code != 0) {
        QLOG(1, "ERROR YBWCManager_Init(... failed at YBWCManager_SendMachineInfo(..., errorcode = %d\n", code);
        result = 15;
      }
    }
    manager->bLoggedOn = 1;
  }

  for (int32_t rank = 0; rank < manager->nSize; ++rank) {
    manager->pProcessorHandlers[rank]->nState = rank == manager->nRank ? 7 : 6;
  }
  return result;
}

void YBWCManager_Destruct(YBWCManager* manager) {
  if (manager == nullptr || manager->bDestructing) return;
  manager->bDestructing = 1;
  const int32_t code = YBWCManager_Finalize(manager);
  if (code != 0 && log_level_enabled(1)) {
    YBWCManager_Log(manager, "ERROR YBWCManager_Destruct(... failed at YBWCManager_Finalize(..., errorcode = %d\n",
                    code);
  }
  YBWCManager_ReleaseDelayedRequests(manager);
  for (Timer*& timer : manager->pDumpTimers) {
    Timer_Destruct(timer);
    timer = nullptr;
  }
  for (int32_t rank = 0; rank < kMaxProcessors; ++rank) {
    if (manager->pProcessorHandlers[rank] == nullptr) continue;
    ProcessorHandler_Destruct(manager->pProcessorHandlers[rank]);
    manager->pProcessorHandlers[rank] = nullptr;
  }
  YBWCManager_DestructBroadcastBuffers(manager);
  Timer_Destruct(manager->pRootPollTimer);
  Timer_Destruct(manager->pNonRootPollTimer);
  AutoTester_Destruct(manager->pAutoTester);
  CommandLine_Destruct(manager->pCommandLine);
  std::free(manager->pConfiguration);
  if (g_pYBWCManagerInstance == manager) g_pYBWCManagerInstance = nullptr;
  std::free(manager);
}

