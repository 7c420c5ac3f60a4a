#!/usr/bin/env bash
# What a chess GUI starts: the built engine as an MPI job. Rank 0 talks to the
# GUI; every other rank helps it search.
#   QUORREL_PROCESSES  number of processes (default 1), all on this machine
#                      unless hosts are given
#   QUORREL_HOSTS      comma-separated host names (mpiexec -hosts), e.g. alpha,beta
#   QUORREL_HOSTFILE   an MPICH host file (mpiexec -f), "host:processes" per line
# Every host needs the engine at the same path. Processes beside the GUI run at
# a lower priority while "Lower Process Priority To Favor GUI Updates" is on.
root=$(cd "$(dirname "$0")/.." && pwd)
args=(-n "${QUORREL_PROCESSES:-1}")
[ -n "${QUORREL_HOSTS:-}" ] && args+=(-hosts "$QUORREL_HOSTS")
[ -n "${QUORREL_HOSTFILE:-}" ] && args+=(-f "$QUORREL_HOSTFILE")
exec mpiexec.mpich "${args[@]}" "$root/build/quorrel" "$@"
