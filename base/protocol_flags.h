#pragma once
// Process-wide protocol flags shared by the command loop, the search driver
// and the slave work cycle.

extern bool EngineReady;      // the chess core's late initialisation has run
extern bool SearchRunning;    // a search started by this node is running
extern bool SearchUnbounded;  // the running search must not send its best move by itself
extern bool Delay;            // a finished search holds back "bestmove" until "stop"/"ponderhit"
