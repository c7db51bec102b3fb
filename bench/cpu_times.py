#!/usr/bin/env python3
"""Processor time of the speed benchmarks, for builds compared in one sitting.

Usage: bench/cpu_times.py ROUNDS ENGINE [ENGINE ...]
Each round runs every task once with each engine in turn, a fresh process each time, and
takes the user CPU time the process used (wall time on a shared machine says little). For
each task and engine it prints the least and the median over the rounds, and the ratio of
the first engine's least to this one's: above 1, this engine is faster.
Tasks: "bench", perft 6 of the start position, and go depth 8 from the start position and
after 1. e4 e5 2. Nf3 Nc6 3. Bb5 a6. TASKS="bench perft6" picks some of them.
"""
import os
import resource
import statistics
import subprocess
import sys

TASKS = {
    "bench": (["bench"], None, None),
    "perft6": ([], "position startpos\nperft 6\n", "Knps"),
    "start8": ([], "position startpos\ngo depth 8\n", "bestmove"),
    "ruy8": ([], "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6\ngo depth 8\n",
             "bestmove"),
}


def cpu_time(engine, task):
    """User CPU seconds of one run of the task; the input stays open until the answer."""
    args, text, last = TASKS[task]
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime
    proc = subprocess.Popen([engine] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True)
    if text:
        proc.stdin.write(text)
        proc.stdin.flush()
        for line in proc.stdout:
            if line.startswith(last):
                break
        proc.stdin.write("quit\n")
        proc.stdin.flush()
    proc.communicate()
    if proc.returncode != 0:
        sys.exit(f"{engine} ended with status {proc.returncode} in {task}")
    return resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime - before


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    rounds, engines = int(sys.argv[1]), sys.argv[2:]
    tasks = os.environ.get("TASKS", " ".join(TASKS)).split()
    times = {(engine, task): [] for engine in engines for task in tasks}
    for _ in range(rounds):
        for task in tasks:
            for engine in engines:
                times[(engine, task)].append(cpu_time(engine, task))
    for task in tasks:
        first = min(times[(engines[0], task)])
        for engine in engines:
            runs = times[(engine, task)]
            print(f"{task:7} {engine:30} least {min(runs):.3f} s  median "
                  f"{statistics.median(runs):.3f} s  ratio {first / min(runs):.3f}")


if __name__ == "__main__":
    main()
