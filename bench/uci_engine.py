"""A UCI engine run as a child process, for the bench scripts.

On start it reads the engine's options and sets "Threads" 1 and "OwnBook"
false where the engine offers them, so that engines are compared searching
with one thread and without their own opening book.
"""
import shlex
import subprocess

ONE_THREAD_NO_BOOK = (("Threads", "1"), ("OwnBook", "false"))


class UciEngine:
    """`command` is a command line: "mpiexec -n 2 build/quorrel" runs Quorrel as a job of two processes."""

    def __init__(self, command, name=None):
        self.name = name or command
        self.proc = subprocess.Popen(shlex.split(command), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.send("uci")
        options = set()
        for line in self.lines():
            if line.startswith("option name "):
                options.add(line[len("option name "):].split(" type ")[0].strip())
            if line.startswith("uciok"):
                break
        self.settings = []
        for option, value in ONE_THREAD_NO_BOOK:
            if option in options:
                self.send("setoption name %s value %s" % (option, value))
                self.settings.append("%s %s" % (option, value))

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def lines(self):
        for line in self.proc.stdout:
            yield line.strip()
        raise RuntimeError("%s ended" % self.name)

    def wait_for(self, prefix):
        for line in self.lines():
            if line.startswith(prefix):
                return line

    def new_game(self):
        self.send("ucinewgame")
        self.send("isready")
        self.wait_for("readyok")

    def quit(self):
        try:
            self.send("quit")
            self.proc.wait(timeout=5)
        except Exception:
            self.proc.kill()
