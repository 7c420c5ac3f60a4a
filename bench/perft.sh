#!/bin/sh
# Perft speed of the Release build: nodes per second, median of 5 runs, for
# full make/unmake and for bulk counting of the last ply.
# usage: bench/perft.sh [build-dir]
set -e
build=${1:-build}
perft="$build/quorrel-perft"
[ -x "$perft" ] || { echo "no $perft (build Release first)" >&2; exit 1; }

run() {  # label fen depth flags
  label=$1 fen=$2 depth=$3 flags=$4
  rates=""
  for i in 1 2 3 4 5; do
    rate=$("$perft" $flags --time "$fen" "$depth" 2>&1 >/dev/null | sed 's/.*s, \([0-9]*\) nodes.*/\1/')
    rates="$rates $rate"
  done
  median=$(echo $rates | tr ' ' '\n' | sort -n | sed -n 3p)
  nodes=$("$perft" --bulk "$fen" "$depth")
  printf '%-34s depth %d %12s leaves %12s nodes/s\n' "$label ${flags:---full}" "$depth" "$nodes" "$median"
}

start="rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
kiwi="r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
run "start position" "$start" 6 ""
run "start position" "$start" 6 "--bulk"
run "perft.epd position 2" "$kiwi" 5 ""
run "perft.epd position 2" "$kiwi" 5 "--bulk"
