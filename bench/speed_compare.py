#!/usr/bin/env python3
"""Nodes per second of Quorrel and two Debian engines on the same positions
for the same time, in one run.

    bench/speed_compare.py [path/to/quorrel] [more engines ...]

Every engine (Quorrel as one process, glaurung and ethereal-chess by default)
searches the first 12 positions of tests/data/wac.epd with "go movetime 500"
and the quiet middlegame position below with "go movetime 1000", one engine
and one search at a time, each with "Threads" 1 and "OwnBook" false where the
engine offers them. The rate is the node count each engine reports in its
last "info ... nodes" line before "bestmove", divided by the time from "go" to
"bestmove" as measured here, summed over the positions. Run it on a quiet
machine: the rates of engines measured while other work runs are not
comparable with each other.

The Debian engines: apt-get install -y glaurung ethereal-chess
(they install to /usr/games).
"""
import os
import shutil
import sys
import time

from uci_engine import UciEngine

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
WAC = os.path.join(ROOT, "tests", "data", "wac.epd")
WAC_POSITIONS = 12
WAC_MOVETIME_MS = 500
QUIET_FEN = "r1bq1rk1/pp2bppp/2n2n2/3p4/3P4/2NB1N2/PP3PPP/R1BQ1RK1 w - - 0 1"
QUIET_MOVETIME_MS = 1000


class Engine(UciEngine):
    def search(self, fen, movetime_ms):
        """Returns (nodes, seconds) of one search."""
        self.new_game()
        self.send("position fen " + fen)
        start = time.monotonic()
        self.send("go movetime %d" % movetime_ms)
        nodes = 0
        for line in self.lines():
            if line.startswith("info"):
                words = line.split()
                if "nodes" in words:
                    index = words.index("nodes") + 1
                    if index < len(words) and words[index].isdigit():
                        nodes = int(words[index])
            elif line.startswith("bestmove"):
                return nodes, time.monotonic() - start


def wac_fens():
    fens = []
    with open(WAC) as epd:
        for line in epd:
            fields = line.split()
            if len(fields) >= 4:
                fens.append(" ".join(fields[:4]) + " 0 1")
            if len(fens) == WAC_POSITIONS:
                break
    return fens


def find(command):
    for candidate in (command, os.path.join("/usr/games", command)):
        path = shutil.which(candidate)
        if path:
            return path
    return None


def main():
    quorrel = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "quorrel")
    others = sys.argv[2:] or ["glaurung", "ethereal-chess"]
    commands = [quorrel]
    for name in others:
        path = find(name)
        if path is None:
            print("%s: not installed (apt-get install -y glaurung ethereal-chess); left out" % name)
        else:
            commands.append(path)

    suites = [("WAC 1-%d, %d ms each" % (WAC_POSITIONS, WAC_MOVETIME_MS), [(f, WAC_MOVETIME_MS) for f in wac_fens()]),
              ("quiet middlegame, %d ms" % QUIET_MOVETIME_MS, [(QUIET_FEN, QUIET_MOVETIME_MS)])]
    rates = {}
    for command in commands:
        engine = Engine(command, os.path.basename(command))
        for label, positions in suites:
            nodes = seconds = 0
            for fen, movetime in positions:
                n, s = engine.search(fen, movetime)
                nodes += n
                seconds += s
            rates[(engine.name, label)] = (nodes, seconds)
        engine.quit()

    names = [os.path.basename(c) for c in commands]
    for label, _ in suites:
        print(label)
        reference = rates[(names[0], label)]
        reference_rate = reference[0] / reference[1] if reference[1] > 0 else 0
        for name in names:
            nodes, seconds = rates[(name, label)]
            rate = nodes / seconds if seconds > 0 else 0
            relative = rate / reference_rate if reference_rate > 0 else 0
            print("  %-16s %12d nodes %7.2f s %10.0f nodes/s  (%.2fx %s)" % (
                name, nodes, seconds, rate, relative, names[0]))


if __name__ == "__main__":
    main()
