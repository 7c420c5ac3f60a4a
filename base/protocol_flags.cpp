#include "base/protocol_flags.h"

bool EngineReady = false;
bool SearchRunning = false;
bool SearchUnbounded = false;
bool Delay = false;
