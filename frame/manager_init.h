#pragma once
// Start-up, log-off and destruction of the process's manager.
#include <cstdint>

struct YBWCManager;

// Identity in the job, command line, configuration and, on the root master,
// the automatic tester and the logon of every other rank.
int32_t YBWCManager_Init(YBWCManager* manager, int* pArgc, char*** pArgv);
// Finalises (logs the other ranks off) and frees the manager; later calls return at once.
void YBWCManager_Destruct(YBWCManager* manager);
int32_t YBWCManager_Finalize(YBWCManager* manager);
// False once the root master's finalisation has ended with ranks that did not
// shut down: they would wait for it for ever.
bool YBWCManager_JobShutDownInOrder();
