#!/usr/bin/env bash
# Installs the dependencies, builds a Release engine and starts it as an MPI
# job that reads UCI commands on standard input. QUORREL_PROCESSES sets the
# number of processes (default 1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh >&2
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release >&2
exec mpiexec.mpich -n "${QUORREL_PROCESSES:-1}" "$root/build/quorrel" "$@"
