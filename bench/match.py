#!/usr/bin/env python3
"""A small match between two UCI engines with a clock and an increment.

    bench/match.py ENGINE_A ENGINE_B [games] [base seconds] [increment seconds] [referee]
                   [--a-option "Name=Value"] ... [--b-option "Name=Value"] ...

An engine is a command line ("mpiexec -n 2 build/quorrel" runs Quorrel as a
job of two processes); the options are set before the first game.

Games start from short opening lines, each line played once with each colour.
The referee (quorrel-referee, which judges with Quorrel's own chess core)
says when a game is over. A side whose clock runs out (50 ms grace) or that
plays an illegal move loses; a game longer than 400 plies is a draw.
Prints each result and the score of ENGINE_A with an Elo estimate.
"""
import argparse
import math
import shlex
import subprocess
import time

OPENINGS = [
    "e2e4 e7e5", "d2d4 d7d5", "e2e4 c7c5", "c2c4 e7e5", "g1f3 d7d5",
    "e2e4 e7e6", "e2e4 c7c6", "d2d4 g8f6", "e2e4 d7d6", "c2c4 c7c5",
]
MAX_PLIES = 400
GRACE = 0.05


class Engine:
    def __init__(self, command, options=()):
        self.name = command
        self.proc = subprocess.Popen(shlex.split(command), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.send("uci")
        self.wait_for("uciok")
        for option in options:
            name, value = option.split("=", 1)
            self.send("setoption name %s value %s" % (name, value))

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def wait_for(self, prefix):
        for line in self.proc.stdout:
            if line.startswith(prefix):
                return line.strip()
        raise RuntimeError("%s ended" % self.name)

    def new_game(self):
        self.send("ucinewgame")
        self.send("isready")
        self.wait_for("readyok")

    def best_move(self, moves, wtime, btime, inc):
        self.send("position startpos" + (" moves " + moves if moves else ""))
        self.send("go wtime %d btime %d winc %d binc %d" % (wtime * 1000, btime * 1000, inc * 1000, inc * 1000))
        line = self.wait_for("bestmove")
        return line.split()[1] if len(line.split()) > 1 else "0000"

    def quit(self):
        try:
            self.send("quit")
            self.proc.wait(timeout=5)
        except Exception:
            self.proc.kill()


def play(white, black, opening, base, inc, referee):
    for engine in (white, black):
        engine.new_game()
    moves = opening.split()
    clocks = [base, base]
    while len(moves) < MAX_PLIES:
        referee.stdin.write(" ".join(moves) + "\n")
        referee.stdin.flush()
        verdict = referee.stdout.readline().strip()
        side = len(moves) % 2
        if verdict == "checkmate":
            return ("0-1" if side == 0 else "1-0"), "mate"
        if verdict in ("stalemate", "draw"):
            return "1/2-1/2", verdict
        if verdict.startswith("illegal"):
            return ("0-1" if side == 1 else "1-0"), verdict  # the side that just moved
        engine = white if side == 0 else black
        start = time.monotonic()
        move = engine.best_move(" ".join(moves), clocks[0], clocks[1], inc)
        used = time.monotonic() - start
        clocks[side] -= used
        if clocks[side] < -GRACE:
            return ("0-1" if side == 0 else "1-0"), "%s lost on time at ply %d: %.2f s used, %.2f s left before" % (
                engine.name, len(moves), used, clocks[side] + used)
        clocks[side] += inc
        moves.append(move)
    return "1/2-1/2", "length"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("a_cmd")
    parser.add_argument("b_cmd")
    parser.add_argument("games", type=int, nargs="?", default=20)
    parser.add_argument("base", type=float, nargs="?", default=10.0)
    parser.add_argument("inc", type=float, nargs="?", default=0.1)
    parser.add_argument("referee", nargs="?", default="build/quorrel-referee")
    parser.add_argument("--a-option", action="append", default=[])
    parser.add_argument("--b-option", action="append", default=[])
    args = parser.parse_args()
    a_cmd, b_cmd, games, base, inc = args.a_cmd, args.b_cmd, args.games, args.base, args.inc
    referee = subprocess.Popen([args.referee], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
    a, b = Engine(a_cmd, args.a_option), Engine(b_cmd, args.b_option)
    score = 0.0
    results = {"win": 0, "draw": 0, "loss": 0}
    for game in range(games):
        opening = OPENINGS[(game // 2) % len(OPENINGS)]
        a_white = game % 2 == 0
        result, reason = play(a, b, opening, base, inc, referee) if a_white else play(b, a, opening, base, inc, referee)
        points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
        a_points = points if a_white else 1.0 - points
        score += a_points
        results["win" if a_points == 1 else "loss" if a_points == 0 else "draw"] += 1
        print("game %d (%s, A %s): %s (%s)  score A %.1f/%d" % (
            game + 1, opening, "white" if a_white else "black", result, reason, score, game + 1), flush=True)
    fraction = score / games
    elo = -400 * math.log10(1 / fraction - 1) if 0 < fraction < 1 else float("inf") * (1 if fraction else -1)
    print("A = %s: +%d =%d -%d, %.1f/%d (%.1f%%), Elo difference %+.0f" % (
        a_cmd, results["win"], results["draw"], results["loss"], score, games, 100 * fraction, elo))
    a.quit()
    b.quit()
    referee.stdin.close()


if __name__ == "__main__":
    main()
