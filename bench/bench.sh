#!/bin/sh
# Runs quorrel-bench five times; prints the node count (must be the same every
# run) and the median speed.
#   bench/bench.sh [build dir] [depth]
build=${1:-build}
depth=${2:-10}
runs=5
nodes_seen=""
speeds=""
i=0
while [ $i -lt $runs ]; do
  out=$("$build/quorrel-bench" "$depth" 2>/dev/null | tail -2)
  nodes=$(echo "$out" | awk '/ nodes$/ {print $1}')
  nps=$(echo "$out" | awk '/ nps$/ {print $1}')
  echo "run $((i + 1)): $nodes nodes, $nps nps"
  nodes_seen="$nodes_seen $nodes"
  speeds="$speeds $nps"
  i=$((i + 1))
done
distinct=$(echo $nodes_seen | tr ' ' '\n' | sort -u | wc -l)
[ "$distinct" -eq 1 ] || echo "WARNING: node counts differ between runs:$nodes_seen"
echo "nodes $(echo $nodes_seen | awk '{print $1}')"
echo "median nps $(echo $speeds | tr ' ' '\n' | sort -n | sed -n 3p)"
