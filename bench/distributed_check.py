#!/usr/bin/env python3
"""Correctness of the distributed search against one process, position by position.

    bench/distributed_check.py [--binary build/quorrel] [--processes 2] [--depth 8]
                               [--set builtin|wac|both] [--count N] [--referee build/quorrel-referee]

Searches each position to a fixed depth with one process and with N, each
search in a job of its own, and checks for the N-process search:

  - it ends with a best move that is legal in the position;
  - its score, against the one-process score (printed as a distribution of
    the differences; the searches differ in move order, so small differences
    are expected);
  - no work is lost: every work item a non root master started was finished
    or stopped (nTotalWorkStartedCount = finished + aborted, summed over the
    non root masters);
  - the root's node count includes the other processes' nodes: the nodes of
    the final "info" line are at least the root's own nodes, and the job's
    final statistics add the non root masters' nodes.

"builtin" is the automatic tester's 33 positions, "wac" tests/data/wac.epd.
"""
import argparse
import collections
import re
import subprocess
import sys
import time

from uci_job import Job, read_epd

ROOT_OWN = re.compile(r"\s+0:INFO total nodes searched (\d+) total nps")
ROOT_SUM = re.compile(r"\s+0:INFO total time (\d+) sum off all total nodes searched (\d+)")
NON_ROOT_NODES = re.compile(r"\s+([1-9]\d*):INFO total nodes searched (\d+) \n?$")
COUNTER = re.compile(r"\s+([1-9]\d*):INFO (nTotalWork(?:Started|Finished|Aborted)Count) (\d+)")
SCORE = re.compile(r"^info (?:multipv 1 )?depth (\d+) .*score (cp|mate) (-?\d+)")
FINAL_NODES = re.compile(r"^info time \d+ nodes (\d+)")


def builtin_positions(source="frame/auto_tester.cpp"):
    with open(source) as text:
        return re.findall(r'"([1-8rnbqkpRNBQKP/]+ [wb] [-KQkq]+ [-a-h1-8]+ \d+ \d+)"', text.read())


def score_value(kind, number):
    if kind == "cp":
        return number
    return 30000 - (2 * number - 1) if number > 0 else -30000 + (-2 * number)


def search(binary, processes, fen, depth):
    job = Job(["mpiexec", "-n", str(processes), binary])
    job.start([("OwnBook", "false"), ("Log To Stdout", "true")])
    job.send("position fen " + fen)
    start = time.monotonic()
    job.send("go depth %d" % depth)
    best = job.wait_for("bestmove")
    elapsed = time.monotonic() - start
    job.finish()

    result = {"move": best.split()[1], "time": elapsed, "score": None, "nodes": 0, "own": None, "sum": None,
              "non_root": 0, "counters": collections.Counter()}
    for line in job.lines:
        if m := SCORE.match(line):
            result["score"] = score_value(m.group(2), int(m.group(3)))
        elif m := FINAL_NODES.match(line):
            result["nodes"] = int(m.group(1))
        elif m := ROOT_OWN.search(line):
            result["own"] = int(m.group(1))
        elif m := ROOT_SUM.search(line):
            result["sum"] = int(m.group(2))
        elif m := NON_ROOT_NODES.search(line):
            result["non_root"] += int(m.group(2))
        elif m := COUNTER.search(line):
            result["counters"][m.group(2)] += int(m.group(3))
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default="build/quorrel")
    parser.add_argument("--referee", default="build/quorrel-referee")
    parser.add_argument("--processes", type=int, default=2)
    parser.add_argument("--depth", type=int, default=8)
    parser.add_argument("--set", default="builtin", choices=["builtin", "wac", "both"])
    parser.add_argument("--count", type=int, default=0, help="first N positions of each set (0: all)")
    args = parser.parse_args()

    sets = []
    if args.set in ("builtin", "both"):
        sets.append(("builtin", builtin_positions()))
    if args.set in ("wac", "both"):
        sets.append(("wac", read_epd("tests/data/wac.epd")))
    referee = subprocess.Popen([args.referee], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    problems = 0
    differences = []
    totals = collections.Counter()
    for name, fens in sets:
        if args.count:
            fens = fens[:args.count]
        for index, fen in enumerate(fens):
            one = search(args.binary, 1, fen, args.depth)
            many = search(args.binary, args.processes, fen, args.depth)
            referee.stdin.write("fen %s %s\n" % (fen, many["move"]))
            verdict = referee.stdout.readline().strip()
            legal = not verdict.startswith("illegal")
            c = many["counters"]
            started, finished, aborted = (c["nTotalWorkStartedCount"], c["nTotalWorkFinishedCount"],
                                          c["nTotalWorkAbortedCount"])
            totals.update(c)
            lost = started - finished - aborted
            counted = many["own"] is not None and many["nodes"] >= many["own"]
            summed = many["sum"] is not None and many["sum"] == (many["own"] or 0) + many["non_root"]
            diff = None if one["score"] is None or many["score"] is None else many["score"] - one["score"]
            if diff is not None:
                differences.append(diff)
            bad = not legal or lost != 0 or not counted or not summed or diff is None
            problems += bad
            print("%s %3d  %-6s %-6s  score %6s %6s  diff %5s  time %6.2f %6.2f  work %d/%d/%d  nodes %d (root %s, "
                  "others %d)%s" % (name, index + 1, one["move"], many["move"], one["score"], many["score"], diff,
                                     one["time"], many["time"], started, finished, aborted, many["nodes"],
                                     many["own"], many["non_root"], "  <-- " + verdict if bad else ""), flush=True)

    buckets = collections.OrderedDict([("0", 0), ("1-10", 0), ("11-25", 0), ("26-50", 0), ("51-100", 0),
                                       (">100", 0)])
    for d in differences:
        a = abs(d)
        key = "0" if a == 0 else "1-10" if a <= 10 else "11-25" if a <= 25 else "26-50" if a <= 50 else \
            "51-100" if a <= 100 else ">100"
        buckets[key] += 1
    print()
    print("%d processes, depth %d: %d searches, %d with a problem" % (args.processes, args.depth, len(differences),
                                                                         problems))
    print("score difference (N processes - 1): " + "  ".join("%s: %d" % kv for kv in buckets.items()))
    if differences:
        ordered = sorted(differences)
        print("median %d, mean %.1f, min %d, max %d" % (ordered[len(ordered) // 2],
                                                        sum(differences) / len(differences), ordered[0], ordered[-1]))
    print("work items started %d, finished %d, aborted %d" % (totals["nTotalWorkStartedCount"],
                                                                totals["nTotalWorkFinishedCount"],
                                                                totals["nTotalWorkAbortedCount"]))
    referee.stdin.close()
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
