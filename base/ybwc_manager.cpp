#include "base/ybwc_manager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "base/log.h"
#include "base/return_position.h"
#include "base/timer.h"

YBWCManager* g_pYBWCManagerInstance = nullptr;

namespace {

LogSettings* LogSettingsInstance = nullptr;

void build_return_position_tables(YBWCManager* manager) {
  for (auto& index : manager->nReturnPositionValueToIndex) index = -1;
  for (auto& value : manager->nReturnPositionIndexToValue) value = 0;
  for (std::size_t i = 0; i < kReturnPositions.size(); ++i) {
    manager->nReturnPositionValueToIndex[kReturnPositions[i].value] = static_cast<int16_t>(i);
    manager->nReturnPositionIndexToValue[i] = static_cast<int16_t>(kReturnPositions[i].value);
  }
}

}  // namespace

YBWCManager* YBWCManager_Construct() {
  auto* manager = static_cast<YBWCManager*>(my_malloc(sizeof(YBWCManager)));
  std::memset(manager, 0, sizeof *manager);
  manager->nState = NODE_STATE_INITIAL;
  manager->nRank = -1;
  manager->nSize = -1;
  manager->nRemoteTestProcessorId = -1;
  manager->nMasterId = -1;
  manager->nStopBeforeWorkId = -1;
  manager->bSeedRandom = 1;
  manager->pConfiguration = static_cast<PellamConfiguration*>(my_malloc(sizeof(PellamConfiguration)));
  PellamConfiguration_Construct(manager->pConfiguration);
  manager->pRootPollTimer = Timer_Create(2);
  manager->pNonRootPollTimer = Timer_Create(1);
  build_return_position_tables(manager);
  return manager;
}

YBWCManager* YBWCManager_GetInstance() {
  if (g_pYBWCManagerInstance == nullptr) g_pYBWCManagerInstance = YBWCManager_Construct();
  return g_pYBWCManagerInstance;
}

LogSettings* LogSettings_GetInstance() {
  if (LogSettingsInstance == nullptr) {
    LogSettingsInstance = static_cast<LogSettings*>(my_malloc(sizeof(LogSettings)));
    *LogSettingsInstance = LogSettings{-1, 1, 1, 1};
  }
  return LogSettingsInstance;
}

void LogSettings_Release() {
  std::free(LogSettingsInstance);
  LogSettingsInstance = nullptr;
}

void YBWCManager_SaveLogSettings(YBWCManager* manager) {
  LogSettings* settings = LogSettings_GetInstance();
  settings->nRank = manager->nRank;
  settings->bLogToCommonFile = manager->pConfiguration->bLogToCommonFile;
  settings->bLogToFile = manager->pConfiguration->bLogToFile;
  settings->bLogToStdout = manager->pConfiguration->bLogToStdout;
}

void YBWCManager_RestoreLogSettings(YBWCManager* manager) {
  const LogSettings* settings = LogSettings_GetInstance();
  manager->nRank = settings->nRank;
  manager->pConfiguration->bLogToCommonFile = settings->bLogToCommonFile;
  manager->pConfiguration->bLogToFile = settings->bLogToFile;
  manager->pConfiguration->bLogToStdout = settings->bLogToStdout;
}

int32_t YBWCManager_Rank() { return YBWCManager_GetInstance()->nRank; }

bool YBWCManager_IsRootMaster() { return YBWCManager_GetInstance()->bRootMaster != 0; }
