#!/bin/sh
# Evaluation speed and cache hit rates of the Release build.
# usage: bench/eval_bench.sh [build-dir]
set -e
build=${1:-build}
bench="$build/quorrel-evalbench"
[ -x "$bench" ] || { echo "no $bench (build Release first)" >&2; exit 1; }
"$bench" 10 60 200
