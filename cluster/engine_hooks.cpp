#include "cluster/engine_hooks.h"

namespace {
ClusterEngineHooks Hooks{};
}

void YBWCManager_SetEngineHooks(const ClusterEngineHooks* hooks) { Hooks = hooks != nullptr ? *hooks : ClusterEngineHooks{}; }

const ClusterEngineHooks* YBWCManager_GetEngineHooks() { return &Hooks; }
