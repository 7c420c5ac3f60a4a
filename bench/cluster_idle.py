#!/usr/bin/env python3
"""Jobs of several processes at rest and at the start of a search.

For 1, 2, 4 and 8 processes: the start-up time (mpiexec started to "readyok"),
the processor time each rank uses while the job is idle, and the shutdown
time ("quit" sent to mpiexec's exit). With 2 processes: the time from the
root master's start of a search to the non root master's first work request,
read from the log time stamps of both ranks (Debug Level 6).

usage: bench/cluster_idle.py [build-dir] [repetitions]
"""
import os
import re
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
REPEAT = int(sys.argv[2]) if len(sys.argv) > 2 else 5
ENGINE = os.path.abspath(os.path.join(BUILD, "quorrel"))
TICKS = os.sysconf("SC_CLK_TCK")


def descendants(root):
    parents = {}
    for name in os.listdir("/proc"):
        if name.isdigit():
            try:
                with open(f"/proc/{name}/stat") as f:
                    stat = f.read()
                parents[int(name)] = int(stat[stat.rfind(")") + 2:].split()[1])
            except OSError:
                pass
    found, i = [root], 0
    while i < len(found):
        found += [pid for pid, parent in parents.items() if parent == found[i]]
        i += 1
    return found[1:]


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        stat = f.read()
    fields = stat[stat.rfind(")") + 2:].split()
    return int(fields[11]) + int(fields[12])


def read_until(proc, wanted):
    while True:
        line = proc.stdout.readline()
        if not line:
            raise RuntimeError("engine ended before " + wanted)
        if line.startswith(wanted):
            return line


def start(processes, cwd, tag):
    env = dict(os.environ, QUORREL_PROCESSOR_NAME=tag)
    return subprocess.Popen(["mpiexec.mpich", "-n", str(processes), ENGINE], cwd=cwd, env=env,
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                            bufsize=1)


def idle_job(processes, cwd, tag, idle_seconds=3.0):
    begin = time.monotonic()
    proc = start(processes, cwd, tag)
    proc.stdin.write("isready\n")
    proc.stdin.flush()
    read_until(proc, "readyok")
    startup = time.monotonic() - begin
    ranks = [pid for pid in descendants(proc.pid) if open(f"/proc/{pid}/comm").read().startswith("quorrel")]
    before = {pid: cpu_ticks(pid) for pid in ranks}
    time.sleep(idle_seconds)
    cpu = [100.0 * (cpu_ticks(pid) - before[pid]) / TICKS / idle_seconds for pid in ranks]
    quit_at = time.monotonic()
    proc.stdin.write("quit\n")
    proc.stdin.flush()
    code = proc.wait(timeout=60)
    return startup, time.monotonic() - quit_at, cpu, code


STAMP = re.compile(r"^\d\d\.\d\d\.\d{4} (\d\d):(\d\d):(\d\d)\.(\d{3}) +(-?\d+):(.*)$")


def seconds_of(match):
    h, m, s, ms = (int(match.group(i)) for i in range(1, 5))
    return h * 3600 + m * 60 + s + ms / 1000.0


def go_to_first_request(cwd, tag):
    os.makedirs(os.path.join(cwd, "Error"), exist_ok=True)
    log = os.path.join(cwd, "Error", "SLog_9999.txt")
    if os.path.exists(log):
        os.remove(log)
    proc = start(2, cwd, tag)
    for line in ("setoption name Log To Common File value true", "setoption name Debug Level value 6",
                 "position startpos moves e2e4", "isready"):
        proc.stdin.write(line + "\n")
    proc.stdin.flush()
    read_until(proc, "readyok")
    proc.stdin.write("go depth 7\n")
    proc.stdin.flush()
    read_until(proc, "bestmove")
    proc.stdin.write("quit\n")
    proc.stdin.flush()
    proc.wait(timeout=60)
    go = support = request = None
    with open(log) as f:
        for text in f:
            m = STAMP.match(text.rstrip("\n"))
            if not m:
                continue
            rank, message = int(m.group(5)), m.group(6)
            if go is None and rank == 0 and message.startswith("root date after inc"):
                go = seconds_of(m)
            elif go is not None and support is None and rank == 1 and "Type = 6 <" in message:
                support = seconds_of(m)
            elif go is not None and request is None and rank == 0 and "Type = 13 <" in message:
                request = seconds_of(m)
    return (support - go) * 1000.0, (request - go) * 1000.0


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def main():
    with tempfile.TemporaryDirectory() as cwd:
        print(f"{'processes':>9} {'start-up ms':>12} {'shutdown ms':>12} {'idle cpu % per rank (max)':>26}")
        for processes in (1, 2, 4, 8):
            runs = [idle_job(processes, cwd, f"bench{os.getpid()}-{processes}") for _ in range(REPEAT)]
            assert all(run[3] == 0 for run in runs), [run[3] for run in runs]
            print(f"{processes:>9} {median([r[0] for r in runs]) * 1000:>12.0f} "
                  f"{median([r[1] for r in runs]) * 1000:>12.0f} {max(max(r[2]) for r in runs):>26.1f}")
        latencies = [go_to_first_request(cwd, f"bench{os.getpid()}-go") for _ in range(REPEAT)]
        print(f"2 processes, search start to the support request's arrival on rank 1: "
              f"median {median([l[0] for l in latencies]):.0f} ms, "
              f"to rank 1's first work request arriving on rank 0: median {median([l[1] for l in latencies]):.0f} ms "
              f"(runs: {', '.join(f'{a:.0f}/{b:.0f}' for a, b in latencies)})")


if __name__ == "__main__":
    main()
