#!/bin/sh
# Runs quorrel-bench five times; prints the node count (must be the same every
# run) and the median speed.
#   bench/bench.sh [build dir] [depth]
# With --check, runs it once at the depth of bench/reference-nodes.txt and
# fails unless the node count is the one recorded there.
#   bench/bench.sh --check [build dir]
if [ "$1" = "--check" ]; then
  build=${2:-build}
  reference="$(dirname "$0")/reference-nodes.txt"
  depth=$(awk '$1 == "depth" {print $2}' "$reference")
  expected=$(awk '$1 == "nodes" {print $2}' "$reference")
  nodes=$("$build/quorrel-bench" "$depth" 2>/dev/null | awk '/ nodes$/ {print $1}')
  if [ -n "$expected" ] && [ "$nodes" = "$expected" ]; then
    echo "bench: $nodes nodes at depth $depth, as recorded"
    exit 0
  fi
  echo "bench: ${nodes:-no} nodes at depth $depth, but $reference records ${expected:-none}"
  exit 1
fi

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
