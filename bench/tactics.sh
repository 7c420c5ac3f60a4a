#!/bin/sh
# Tactical-suite score: every position of the EPD file searched for a fixed
# time (default 1 s); prints the misses and the score.
#   bench/tactics.sh [build dir] [epd file] [milliseconds]
build=${1:-build}
epd=${2:-tests/data/wac.epd}
ms=${3:-1000}
"$build/quorrel-tactics" "$epd" "$ms" 2>&1 >/dev/null | grep -v -e mefprint -e ' solved$'
