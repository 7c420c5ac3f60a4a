#!/usr/bin/env python3
"""Speed of two or more quorrel-bench builds, measured in the same run.

    bench/compare_builds.py [--depth D] [--runs N] BENCH_A BENCH_B [...]

Runs the builds in turn, N rounds (default 5) at depth D (default 10), so
that a drift in the machine's speed touches every build alike; every other
round runs them in reverse order, so that neither build always follows the
other. Prints each run, then per build the median of the nodes per second the
bench reports (wall clock) and of the nodes per CPU second (user + system time
of the process, which a busy machine disturbs less), and the ratio of every
build to the first; then the median over the rounds of each round's own ratio
to the first build, which holds up better when the machine's speed swings from
one run to the next. Fails when the builds search different node counts: a
faster build must search the same tree. Run it on a quiet machine and at a
high priority (nice -n -10) for figures worth quoting.
"""
import argparse
import os
import statistics
import subprocess
import sys


def run_once(bench, depth):
    before = os.times()
    out = subprocess.run([bench, str(depth)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         text=True, check=True).stdout
    after = os.times()
    cpu = (after.children_user - before.children_user) + (after.children_system - before.children_system)
    nodes = nps = None
    for line in out.splitlines():
        words = line.split()
        if len(words) == 2 and words[1] == "nodes":
            nodes = int(words[0])
        elif len(words) == 2 and words[1] == "nps":
            nps = int(words[0])
    if nodes is None or nps is None:
        sys.exit("%s printed no node count and speed" % bench)
    return nodes, nps, nodes / cpu if cpu > 0 else 0.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--depth", type=int, default=10)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("benches", nargs="+")
    args = parser.parse_args()

    wall = {b: [] for b in args.benches}
    cpu = {b: [] for b in args.benches}
    counts = {}
    for r in range(1, args.runs + 1):
        order = args.benches if r % 2 == 1 else list(reversed(args.benches))
        for bench in order:
            nodes, nps, per_cpu = run_once(bench, args.depth)
            counts.setdefault(bench, nodes)
            wall[bench].append(nps)
            cpu[bench].append(per_cpu)
            print("run %d  %-40s %12d nodes %10d nps %10.0f nodes/cpu-s" % (r, bench, nodes, nps, per_cpu),
                  flush=True)
    first = args.benches[0]
    base_wall = statistics.median(wall[first])
    base_cpu = statistics.median(cpu[first])
    for bench in args.benches:
        w = statistics.median(wall[bench])
        c = statistics.median(cpu[bench])
        print("median %-40s %10.0f nps (%.3fx)  %10.0f nodes/cpu-s (%.3fx)" %
              (bench, w, w / base_wall, c, c / base_cpu))
    for bench in args.benches[1:]:
        ratios = [w / b for w, b in zip(wall[bench], wall[first])]
        print("per-round ratio %-33s median %.3fx (lowest %.3fx, highest %.3fx)" %
              (bench, statistics.median(ratios), min(ratios), max(ratios)))
    if len(set(counts.values())) != 1:
        print("node counts differ: %s" % counts)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
