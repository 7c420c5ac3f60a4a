#!/usr/bin/env python3
"""Time to reach each depth from the start position (or a given FEN).

    bench/time_to_depth.py [engine binary] [max depth] [fen]

Prints one row per finished iteration from depth 8 on: depth, milliseconds
since "go", nodes, and the engine's own speed figure.
"""
import re
import subprocess
import sys
import time

engine = sys.argv[1] if len(sys.argv) > 1 else "build/quorrel"
max_depth = int(sys.argv[2]) if len(sys.argv) > 2 else 14
fen = sys.argv[3] if len(sys.argv) > 3 else None

proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)


def send(line):
    proc.stdin.write(line + "\n")
    proc.stdin.flush()


def wait_for(prefix):
    for line in proc.stdout:
        if line.startswith(prefix):
            return line


send("uci")
wait_for("uciok")
send("setoption name OwnBook value false")
send("isready")
wait_for("readyok")
send("position fen " + fen if fen else "position startpos")
start = time.monotonic()
send("go depth %d" % max_depth)
pattern = re.compile(r"^info depth (\d+) seldepth \d+ time (\d+) nodes (\d+) nps (\d+)")
print("depth  ms(wall)  ms(engine)  nodes  nps")
for line in proc.stdout:
    match = pattern.match(line)
    if match and int(match.group(1)) >= 8:
        wall = (time.monotonic() - start) * 1000
        print("%5s  %8.0f  %10s  %s  %s" % (match.group(1), wall, match.group(2), match.group(3), match.group(4)))
    if line.startswith("bestmove"):
        break
send("quit")
proc.wait()
