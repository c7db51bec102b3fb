#!/usr/bin/env python3
"""How late "bestmove" arrives after the engine's own deadline.

Usage: bench/deadline_latency.py [ENGINE] [RUNS]
For each go command the deadline is the time budget the engine computes for it; the
lateness is the time from sending "go" to reading "bestmove", minus that budget.
"""
import subprocess
import sys
import time

engine = sys.argv[1] if len(sys.argv) > 1 else "build/tervane"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
# go command -> budget in ms: movetime - 50; min(t, (29 * inc + t) / 30) with t = 0.95 * time - 1.
cases = {"go movetime 100": 50, "go wtime 1000 btime 1000": int(949 / 30)}
positions = ["position startpos",
             "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
             "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"]

proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)


def send(line):
    proc.stdin.write(line + "\n")
    proc.stdin.flush()


def wait_for(prefix):
    while True:
        line = proc.stdout.readline()
        if not line:
            raise SystemExit("engine ended")
        if line.startswith(prefix):
            return line


for go, budget in cases.items():
    late = []
    for i in range(runs):
        send(positions[i % len(positions)])
        send("isready")
        wait_for("readyok")
        start = time.monotonic()
        send(go)
        wait_for("bestmove")
        late.append((time.monotonic() - start) * 1000 - budget)
    late.sort()
    print(f"{go}: budget {budget} ms, lateness median {late[len(late) // 2]:.1f} ms, "
          f"worst {late[-1]:.1f} ms over {runs} runs")
send("quit")
proc.wait()
