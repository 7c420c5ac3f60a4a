#!/usr/bin/env bash
# Checks the layers, installs the dependencies, builds, and runs the whole test
# suite twice: a Release build (followed by the check of the bench's node count),
# then a build under AddressSanitizer and UndefinedBehaviorSanitizer; then fuzzes
# the unpacking of every message type for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/check-layers.sh
bash scripts/install-deps.sh

bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
sh bench/bench.sh --check build

# MPICH keeps some allocations until exit; leak reports would be about it, not us.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORREL_SANITIZE=ON
ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" --timeout 900

bash scripts/fuzz.sh 30
