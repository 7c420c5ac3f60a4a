#!/usr/bin/env python3
"""Table sharing in jobs of several processes.

1. Memory: a job of two processes on one host with "Hash" N searches; while it
   searches, the proportional set size (Pss, /proc/<pid>/smaps_rollup) of both
   ranks is read, with the Pss of the transposition-table segment alone
   (/proc/<pid>/smaps). Two private tables would take 2 x N MB.
2. Broadcast traffic: a job of two simulated hosts of two ranks each searches
   for a fixed time; every rank's "INFO hash table broadcast" line at the end
   gives the chunks, messages and bytes it sent, per second of search.

usage: bench/table_sharing.py [path/to/quorrel] [hash MB] [search seconds]
"""
import os
import re
import subprocess
import sys
import tempfile
import time

binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                         os.path.join(os.path.dirname(__file__), "..", "build", "quorrel"))
hash_mb = int(sys.argv[2]) if len(sys.argv) > 2 else 256
seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 10
mpiexec = "mpiexec"


def start(command, env, cwd):
    return subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1,
                            env=dict(os.environ, **env), cwd=cwd)


def send(engine, line):
    engine.stdin.write(line + "\n")
    engine.stdin.flush()


def wait_for(engine, prefix):
    while True:
        line = engine.stdout.readline()
        if not line:
            raise RuntimeError("engine ended before " + prefix)
        if line.startswith(prefix):
            return line.strip()


def ranks_of(root):
    """pid -> rank of the engine processes started below `root`."""
    children = {}
    for name in os.listdir("/proc"):
        if name.isdigit():
            try:
                with open("/proc/%s/stat" % name) as stat:
                    parent = int(stat.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(name))
            except (OSError, IndexError, ValueError):
                pass
    found, queue = {}, [root]
    while queue:
        pid = queue.pop()
        queue.extend(children.get(pid, []))
        try:
            with open("/proc/%d/comm" % pid) as comm:
                if not comm.read().startswith("quorrel"):
                    continue
            with open("/proc/%d/environ" % pid, "rb") as environ:
                for item in environ.read().split(b"\0"):
                    if item.startswith(b"PMI_RANK="):
                        found[pid] = int(item[9:])
        except OSError:
            pass
    return found


def pss_kb(pid):
    with open("/proc/%d/smaps_rollup" % pid) as rollup:
        for line in rollup:
            if line.startswith("Pss:"):
                return int(line.split()[1])
    return 0


def segment_pss_kb(pid, tag):
    """Segment name and Pss of the transposition-table mapping (key 5997)."""
    name, pss, inside = None, 0, False
    with open("/proc/%d/smaps" % pid) as smaps:
        for line in smaps:
            if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
                inside = "SharedMemory_Id_" in line and tag in line and line.rstrip().endswith("_5997")
                if inside:
                    name = line.split()[-1]
            elif inside and line.startswith("Pss:"):
                pss += int(line.split()[1])
    return name, pss


def memory():
    tag = "pss%d" % os.getpid()
    with tempfile.TemporaryDirectory() as cwd:
        engine = start([mpiexec, "-n", "2", binary], {"QUORREL_PROCESSOR_NAME": tag}, cwd)
        send(engine, "setoption name Hash value %d" % hash_mb)
        send(engine, "isready")
        wait_for(engine, "readyok")
        send(engine, "position startpos moves e2e4 e7e5 g1f3 b8c6")
        send(engine, "go movetime %d" % (seconds * 1000))
        time.sleep(seconds / 2)
        ranks = ranks_of(engine.pid)
        rows = []
        for pid, rank in sorted(ranks.items(), key=lambda item: item[1]):
            name, segment = segment_pss_kb(pid, tag)
            rows.append((rank, pid, pss_kb(pid), name, segment))
        wait_for(engine, "bestmove")
        send(engine, "quit")
        engine.wait()
    print("memory: mpiexec -n 2, Hash %d, read %ds into a %ds search" % (hash_mb, seconds // 2, seconds))
    for rank, pid, total, name, segment in rows:
        print("  rank %d (pid %d): Pss %.1f MB, of it the table segment %.1f MB (%s)"
              % (rank, pid, total / 1024, segment / 1024, name))
    names = {row[3] for row in rows}
    print("  same segment mapped by both: %s" % ("yes" if len(names) == 1 and None not in names else "NO"))
    print("  Pss of both together: %.1f MB (table segments %.1f MB), two private tables: %d MB"
          % (sum(r[2] for r in rows) / 1024, sum(r[4] for r in rows) / 1024, 2 * hash_mb))


def traffic():
    tag = "bcast%d" % os.getpid()
    pattern = re.compile(r" +(\d+):INFO hash table broadcast: (\d+) chunks sent in (\d+) messages of (\d+) bytes, "
                         r"(\d+) chunks received, (\d+) entries stored")
    with tempfile.TemporaryDirectory() as cwd:
        os.mkdir(os.path.join(cwd, "Error"))
        engine = start([mpiexec, "-n", "2", "-env", "QUORREL_PROCESSOR_NAME", tag + "a", binary, ":",
                        "-n", "2", "-env", "QUORREL_PROCESSOR_NAME", tag + "b", binary], {}, cwd)
        send(engine, "setoption name Log To Common File value true")
        send(engine, "isready")
        wait_for(engine, "readyok")
        send(engine, "position startpos moves e2e4 e7e5 g1f3 b8c6")
        begin = time.time()
        send(engine, "go movetime %d" % (seconds * 1000))
        wait_for(engine, "bestmove")
        elapsed = time.time() - begin
        send(engine, "quit")
        engine.wait()
        with open(os.path.join(cwd, "Error", "SLog_9999.txt"), errors="replace") as log:
            found = [pattern.search(line) for line in log]
    rows = sorted((int(m.group(1)), [int(g) for g in m.groups()[1:]]) for m in found if m)
    print("broadcast: two simulated hosts of two ranks, Hash default, chunks of 64, min depth 4, %.1f s of search"
          % elapsed)
    for rank, (chunks, messages, sent, received, stored) in rows:
        print("  rank %d: %d chunks sent in %d messages (%d bytes), %d chunks received, %d entries stored"
              % (rank, chunks, messages, sent, received, stored))
    messages = sum(r[1][1] for r in rows)
    sent = sum(r[1][2] for r in rows)
    print("  job: %.1f messages/s, %.1f KB/s" % (messages / elapsed, sent / elapsed / 1024))


memory()
traffic()
