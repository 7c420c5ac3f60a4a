"""Running the engine as a job for the bench scripts: one job per search, its
UCI output and log lines kept, and test positions read from EPD files."""
import os
import subprocess


def read_epd(path):
    """The positions of an EPD file as FEN texts (move counters 0 1)."""
    fens = []
    with open(path) as epd:
        for line in epd:
            fields = line.split()
            if len(fields) >= 4:
                fens.append(" ".join(fields[:4]) + " 0 1")
    return fens


class Job:
    """The engine started with `command`; every line it writes is kept in `lines`."""

    def __init__(self, command, env=None):
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, bufsize=1, env=env if env is not None else dict(os.environ))
        self.lines = []

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def wait_for(self, prefix):
        for line in self.proc.stdout:
            self.lines.append(line)
            if line.startswith(prefix):
                return line
        raise RuntimeError("the job ended before %r" % prefix)

    def start(self, options):
        """uci, the options (name, value), isready."""
        self.send("uci")
        self.wait_for("uciok")
        for name, value in options:
            self.send("setoption name %s value %s" % (name, value))
        self.send("isready")
        self.wait_for("readyok")

    def finish(self, timeout=120):
        """quit, and the lines written until the job has ended (the final statistics)."""
        self.send("quit")
        rest, _ = self.proc.communicate(timeout=timeout)
        self.lines.extend(rest.splitlines(keepends=True))
