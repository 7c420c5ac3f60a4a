#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh <build-dir> [extra cmake arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?build directory}
shift
cmake -S "$root" -B "$dir" \
  -DMPI_CXX_COMPILER=/usr/bin/mpicxx.mpich -DMPIEXEC_EXECUTABLE=/usr/bin/mpiexec.mpich "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
