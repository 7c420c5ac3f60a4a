#!/usr/bin/env python3
"""Time to allocate and clear the transposition table of a lone engine, in a
host-wide segment ("Share Hash Table" true) and in private memory: the
"setoption name Hash value N" + "isready" round trip, repeated. Prints the
segment in /dev/shm, its mapping and the process's memory, and checks that
nothing is left after "quit".

usage: bench/shared_table.py [path/to/quorrel] [hash MB] [repeats]
"""
import os
import statistics
import subprocess
import sys
import time

binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build", "quorrel")
hash_mb = int(sys.argv[2]) if len(sys.argv) > 2 else 256
repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 5


def measure(shared):
    engine = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    def command(line):
        engine.stdin.write(line + "\n")
        engine.stdin.flush()

    def ready():
        command("isready")
        while engine.stdout.readline().strip() != "readyok":
            pass

    ready()
    command("setoption name Share Hash Table value " + ("true" if shared else "false"))
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        command("setoption name Hash value %d" % hash_mb)
        ready()
        times.append(time.perf_counter() - start)
    prefix = "SharedMemory_Id_%s.%d." % (os.path.basename(binary), engine.pid)
    segments = [(name, os.stat("/dev/shm/" + name).st_size) for name in os.listdir("/dev/shm") if name.startswith(prefix)]
    with open("/proc/%d/maps" % engine.pid) as maps:
        mappings = [line.split()[0] for line in maps if "SharedMemory_Id_" in line]
    with open("/proc/%d/status" % engine.pid) as status:
        memory = [line.split(":")[0] + " " + line.split(":")[1].strip() for line in status
                  if line.startswith(("RssAnon", "RssShmem"))]
    command("quit")
    engine.wait()
    left = [name for name in os.listdir("/dev/shm") if name.startswith(prefix)]
    print("%-7s Hash %d: alloc+clear %s s, median %.3f s" % ("shared" if shared else "private", hash_mb,
          " ".join("%.3f" % t for t in times), statistics.median(times)))
    for name, size in segments:
        print("        /dev/shm/%s %d bytes" % (name, size))
    for span in mappings:
        low, high = (int(x, 16) for x in span.split("-"))
        print("        mapping %s: %d bytes" % (span, high - low))
    print("        %s; left after quit: %s" % (", ".join(memory), left or "nothing"))


print("load average: %.2f %.2f %.2f" % os.getloadavg())
for shared in (True, False):
    measure(shared)
