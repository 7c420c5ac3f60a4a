#!/usr/bin/env bash
# Builds the message-unpacking fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for a bounded time from a corpus of one
# packed message of every type: scripts/fuzz.sh [seconds] [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
dir=${2:-$root/build-fuzz}
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUORREL_FUZZ=ON -DBUILD_TESTING=OFF \
  -DMPI_CXX_COMPILER=/usr/bin/mpicxx.mpich -DMPIEXEC_EXECUTABLE=/usr/bin/mpiexec.mpich >/dev/null
cmake --build "$dir" -j"$(nproc)" --target quorrel-fuzz-messages
corpus=$(mktemp -d /tmp/quorrel-fuzz-corpus-XXXXXX)
trap 'rm -rf "$corpus"' EXIT
# MPICH keeps some allocations until exit; leak reports would be about it.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$corpus"
QUORREL_FUZZ_SEEDS="$corpus" "$dir/quorrel-fuzz-messages" "$corpus" -max_total_time="$seconds" -max_len=8193 \
  -print_final_stats=1 -artifact_prefix="$dir/"
