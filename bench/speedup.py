#!/usr/bin/env python3
"""Time-to-depth speedup of the distributed search.

    bench/speedup.py [--binary build/quorrel] [--depth 10] [--epd tests/data/bratko-kopec.epd]
                     [--count 24] [--configs 1,2,3,4,2tcp] [--option "Name=Value" ...]

Searches every position of the EPD file to a fixed depth once per
configuration, each position in a job of its own (a fresh table, the
statistics of that search only):

    1      mpiexec -n 1          (the reference)
    2      mpiexec -n 2          two processes on this host
    3, 4   mpiexec -n 3 / -n 4   oversubscribed when the host has two cores
    2tcp   two processes that see two hosts (QUORREL_PROCESSOR_NAME a / b)
           talking over MPICH's TCP path (MPIR_CVAR_NOLOCAL=1 UCX_TLS=tcp,self)

and prints per configuration:

    speedup     geometric mean over the positions of time(1) / time(n)
    overhead    nodes(n) / nodes(1) (all processes' nodes, from the job's
                final statistics)
    non root    share of the nodes searched by the non root masters
    waiting     share of the root's search time the non root masters spent
                without a work item (1 - time searching work items / search time)

Time is wall time from "go" to "bestmove". "--option" sets a UCI option in
every job (for trying other distribution settings).
"""
import argparse
import math
import os
import re
import sys
import time

from uci_job import Job, read_epd

ROOT_TOTAL = re.compile(r"\s+0:INFO total time (\d+) sum off all total nodes searched (\d+)")
ROOT_OWN = re.compile(r"\s+0:INFO total nodes searched (\d+) total nps")
NON_ROOT_NODES = re.compile(r"\s+(\d+):INFO total nodes searched (\d+) \n?$")
NON_ROOT_WORK = re.compile(r"\s+(\d+):INFO total time searching work items (\d+)")
COUNTERS = re.compile(r"\s+(\d+):INFO (nTotalWork\w+Count) (\d+)")
FINAL_NODES = re.compile(r"^info time \d+ nodes (\d+)")


def command_for(config, binary):
    env = dict(os.environ)
    if config == "2tcp":
        env["MPIR_CVAR_NOLOCAL"] = "1"
        env["UCX_TLS"] = "tcp,self"
        return (["mpiexec", "-n", "1", "-env", "QUORREL_PROCESSOR_NAME", "benchhosta", binary, ":",
                 "-n", "1", "-env", "QUORREL_PROCESSOR_NAME", "benchhostb", binary], env, 2)
    n = int(config)
    return ["mpiexec", "-n", str(n), binary], env, n


def run_position(config, binary, fen, depth, options):
    command, env, processes = command_for(config, binary)
    job = Job(command, env)
    job.start([("OwnBook", "false")] + options + ([("Log To Stdout", "true")] if processes > 1 else []))
    job.send("position fen " + fen)
    start = time.monotonic()
    job.send("go depth %d" % depth)
    bestmove = job.wait_for("bestmove")
    elapsed = time.monotonic() - start
    job.finish()

    result = {"time": elapsed, "bestmove": bestmove.split()[1], "nodes": None, "non_root_nodes": 0,
              "search_ms": None, "work_ms": [], "counters": {}}
    for line in job.lines:
        if m := FINAL_NODES.match(line):
            result["nodes"] = int(m.group(1))
        elif m := ROOT_TOTAL.search(line):
            result["search_ms"] = int(m.group(1))
            result["nodes"] = int(m.group(2))
        elif m := NON_ROOT_NODES.search(line):
            if m.group(1) != "0":
                result["non_root_nodes"] += int(m.group(2))
        elif m := NON_ROOT_WORK.search(line):
            result["work_ms"].append(int(m.group(2)))
        elif m := COUNTERS.search(line):
            key = m.group(2)
            result["counters"][key] = result["counters"].get(key, 0) + int(m.group(3))
    return result


def geometric_mean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values)) if values else float("nan")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default="build/quorrel")
    parser.add_argument("--depth", type=int, default=10)
    parser.add_argument("--epd", default="tests/data/bratko-kopec.epd")
    parser.add_argument("--count", type=int, default=24)
    parser.add_argument("--configs", default="1,2,3,4,2tcp")
    parser.add_argument("--option", action="append", default=[], help="Name=Value")
    args = parser.parse_args()
    options = [tuple(o.split("=", 1)) for o in args.option]

    fens = read_epd(args.epd)[:args.count]
    configs = args.configs.split(",")
    if "1" not in configs:
        configs.insert(0, "1")

    results = {c: [] for c in configs}
    for index, fen in enumerate(fens):
        for config in configs:
            r = run_position(config, args.binary, fen, args.depth, options)
            results[config].append(r)
            print("pos %2d  %-4s  %7.2f s  %12s nodes  %s" % (index + 1, config, r["time"], r["nodes"], r["bestmove"]),
                  flush=True)

    base = results["1"]
    print()
    print("depth %d, %d positions, %s" % (args.depth, len(fens), " ".join("%s=%s" % o for o in options) or "defaults"))
    print("config  speedup  overhead  non-root-nodes  waiting  time(s)  work items started/finished/aborted")
    for config in configs:
        rs = results[config]
        speedup = geometric_mean([b["time"] / r["time"] for b, r in zip(base, rs)])
        overhead = sum(r["nodes"] or 0 for r in rs) / max(1, sum(b["nodes"] or 0 for b in base))
        all_nodes = sum(r["nodes"] or 0 for r in rs)
        share = sum(r["non_root_nodes"] for r in rs) / all_nodes if all_nodes else 0.0
        waits = []
        for r in rs:
            if r["search_ms"] and r["work_ms"]:
                waits.extend(1.0 - min(1.0, w / r["search_ms"]) for w in r["work_ms"])
        waiting = sum(waits) / len(waits) if waits else float("nan")
        counters = {}
        for r in rs:
            for k, v in r["counters"].items():
                counters[k] = counters.get(k, 0) + v
        print("%-6s  %7.3f  %8.3f  %14.3f  %7.3f  %7.1f  %d/%d/%d" % (
            config, speedup, overhead, share, waiting, sum(r["time"] for r in rs),
            counters.get("nTotalWorkStartedCount", 0), counters.get("nTotalWorkFinishedCount", 0),
            counters.get("nTotalWorkAbortedCount", 0)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
