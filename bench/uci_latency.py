#!/usr/bin/env python3
"""Round-trip time of "isready" -> "readyok" against an idle engine, and the
idle engine's CPU use.

usage: bench/uci_latency.py [path/to/quorrel] [round trips] [idle seconds]
"""
import os
import statistics
import subprocess
import sys
import time

binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build", "quorrel")
trips = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
idle_seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0

engine = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)


def read_line():
    line = bytearray()
    while True:
        c = engine.stdout.read(1)
        if not c:
            raise SystemExit("engine ended early")
        if c == b"\n":
            return line.decode()
        line += c


engine.stdin.write(b"isready\n")  # first one initialises the engine
while read_line() != "readyok":
    pass

times = []
for _ in range(trips):
    start = time.perf_counter()
    engine.stdin.write(b"isready\n")
    while read_line() != "readyok":
        pass
    times.append((time.perf_counter() - start) * 1000.0)
    time.sleep(0.003)  # let the engine go back to its idle poll

times.sort()
p99 = times[min(len(times) - 1, int(round(0.99 * len(times))) - 1)]
print(f"isready round trips: {trips}")
print(f"median {statistics.median(times):.3f} ms  p99 {p99:.3f} ms  max {times[-1]:.3f} ms")


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


ticks_per_second = os.sysconf("SC_CLK_TCK")
before = cpu_ticks(engine.pid)
time.sleep(idle_seconds)
after = cpu_ticks(engine.pid)
print(f"idle CPU over {idle_seconds:.0f} s: {100.0 * (after - before) / ticks_per_second / idle_seconds:.2f} %")

engine.stdin.write(b"quit\n")
engine.wait(timeout=10)
