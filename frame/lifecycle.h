#pragma once
// The life of one node: entry, the two top-level loops and the orderly
// shutdown that every way out of the program ends in.

// The process entry; returns the exit code.
int node_main(int argc, char** argv);
// The node's top-level loop (root master or non root master).
void main_loop();
// Logs the reason, shuts the node down (cluster, MPI, tables) and releases
// the process-wide records. The caller then ends the process.
void finalize_environment(const char* reason);
