#!/usr/bin/env bash
# What a chess GUI starts: the built engine as an MPI job on this machine.
# Set QUORREL_PROCESSES for more processes, or QUORREL_HOSTFILE to spread the
# job over the hosts listed in an MPICH host file.
root=$(cd "$(dirname "$0")/.." && pwd)
args=(-n "${QUORREL_PROCESSES:-1}")
[ -n "${QUORREL_HOSTFILE:-}" ] && args+=(-f "$QUORREL_HOSTFILE")
exec mpiexec.mpich "${args[@]}" "$root/build/quorrel" "$@"
