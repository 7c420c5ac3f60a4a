#!/usr/bin/env python3
"""A small match between two UCI engines with a clock and an increment.

    bench/match.py ENGINE_A ENGINE_B [games] [base seconds] [increment seconds] [referee]

An engine is a command line ("mpiexec -n 2 build/quorrel" runs Quorrel as a
job of two processes).

Games start from short opening lines, each line played once with each colour,
one game at a time (run one match at a time on a quiet machine: a starved
engine loses on time). Every engine that offers them is set to "Threads" 1 and
"OwnBook" false, so both search with one thread from the given lines.
The referee (quorrel-referee, which judges with Quorrel's own chess core)
says when a game is over. A side whose clock runs out (50 ms grace) or that
plays an illegal move loses; a game longer than 400 plies is a draw.
Prints each result, then the score of ENGINE_A with an Elo estimate and its
95 % error, and the number of games each side lost on time.
"""
import math
import subprocess
import sys
import time

from uci_engine import UciEngine

OPENINGS = [
    "e2e4 e7e5", "d2d4 d7d5", "e2e4 c7c5", "c2c4 e7e5", "g1f3 d7d5",
    "e2e4 e7e6", "e2e4 c7c6", "d2d4 g8f6", "e2e4 d7d6", "c2c4 c7c5",
]
MAX_PLIES = 400
GRACE = 0.05


class Engine(UciEngine):
    def best_move(self, moves, wtime, btime, inc):
        self.send("position startpos" + (" moves " + moves if moves else ""))
        self.send("go wtime %d btime %d winc %d binc %d" % (wtime * 1000, btime * 1000, inc * 1000, inc * 1000))
        line = self.wait_for("bestmove")
        return line.split()[1] if len(line.split()) > 1 else "0000"


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
            return ("0-1" if side == 0 else "1-0"), "time: %s lost on time at ply %d: %.2f s used, %.2f s left before" % (
                engine.name, len(moves), used, clocks[side] + used)
        clocks[side] += inc
        moves.append(move)
    return "1/2-1/2", "length"


def elo(fraction):
    if fraction <= 0:
        return float("-inf")
    if fraction >= 1:
        return float("inf")
    return -400 * math.log10(1 / fraction - 1)


def elo_with_error(points):
    """Elo of the mean score with the 95 % interval from the games' spread."""
    n = len(points)
    mean = sum(points) / n
    spread = math.sqrt(sum((p - mean) ** 2 for p in points) / (n - 1)) if n > 1 else 0.0
    margin = 1.96 * spread / math.sqrt(n)
    low, high = elo(mean - margin), elo(mean + margin)
    return "%+.0f (95%%: %+.0f .. %+.0f; score %.3f +- %.3f)" % (elo(mean), low, high, mean, margin)


def main():
    a_cmd, b_cmd = sys.argv[1], sys.argv[2]
    games = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    base = float(sys.argv[4]) if len(sys.argv) > 4 else 10.0
    inc = float(sys.argv[5]) if len(sys.argv) > 5 else 0.1
    referee_cmd = sys.argv[6] if len(sys.argv) > 6 else "build/quorrel-referee"
    referee = subprocess.Popen([referee_cmd], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
    a, b = Engine(a_cmd), Engine(b_cmd)
    for engine in (a, b):
        print("%s: %s" % (engine.name, ", ".join(engine.settings) or "no Threads/OwnBook options"), flush=True)
    score = 0.0
    points_list = []
    time_losses = {"A": 0, "B": 0}
    results = {"win": 0, "draw": 0, "loss": 0}
    for game in range(games):
        opening = OPENINGS[(game // 2) % len(OPENINGS)]
        a_white = game % 2 == 0
        result, reason = play(a, b, opening, base, inc, referee) if a_white else play(b, a, opening, base, inc, referee)
        points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
        a_points = points if a_white else 1.0 - points
        score += a_points
        points_list.append(a_points)
        if reason.startswith("time:"):
            time_losses["A" if a_points == 0 else "B"] += 1
        results["win" if a_points == 1 else "loss" if a_points == 0 else "draw"] += 1
        print("game %d (%s, A %s): %s (%s)  score A %.1f/%d" % (
            game + 1, opening, "white" if a_white else "black", result, reason, score, game + 1), flush=True)
    fraction = score / games
    print("A = %s: +%d =%d -%d, %.1f/%d (%.1f%%), Elo difference %s" % (
        a_cmd, results["win"], results["draw"], results["loss"], score, games, 100 * fraction,
        elo_with_error(points_list)))
    print("time losses: A %d, B %d" % (time_losses["A"], time_losses["B"]))
    a.quit()
    b.quit()
    referee.stdin.close()


if __name__ == "__main__":
    main()
