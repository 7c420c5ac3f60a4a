#pragma once
// MPI is started once for the whole test program: a one-process job needs no
// launcher. Errors are returned to the caller, as in the engine.
#include <mpi.h>

inline void start_mpi_for_tests() {
  int initialized = 0;
  MPI_Initialized(&initialized);
  if (!initialized) {
    MPI_Init(nullptr, nullptr);
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  }
}
