#!/usr/bin/env python3
"""Whether two builds print the same: searches, bench and perft, with times and speeds masked.

Usage: bench/same_output.py REFERENCE CANDIDATE [--quick]
A speed change must leave every line alone. Each case runs in a fresh process of each
engine; the first differing line of a case is shown. --quick leaves out bench 6 and perft 6.
"""
import re
import subprocess
import sys

MASK = re.compile(r"\b(time|nps|Time:|Nodes/second +:|Knps:) [0-9.]+")

GO_POSITIONS = [
    "position startpos",
    "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "position fen 5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN b - - 0 1",
    "position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "position fen 6k1/5p2/6p1/8/7P/6P1/r4PK1/1R6 w - - 0 35",
    "position fen 8/8/4kpp1/3p1b2/p6P/2B5/6P1/6K1 b - - 0 47",
]


def dialogue(engine, lines):
    """Sends the lines, each go waiting for its bestmove, then quit; returns the output."""
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    out = []
    for line in lines + ["quit"]:
        proc.stdin.write(line + "\n")
        proc.stdin.flush()
        if line.startswith("go") or line.startswith("perft"):
            end = "bestmove" if line.startswith("go") else "Knps"
            while True:
                reply = proc.stdout.readline()
                if not reply:
                    break
                out.append(reply)
                if reply.startswith(end):
                    break
    out.extend(proc.stdout.readlines())
    proc.wait()
    return out


def bench(engine, depth):
    return subprocess.run([engine, "bench", str(depth)], capture_output=True, text=True).stdout


def cases(quick):
    for position in GO_POSITIONS:
        yield position + " / go depth 8", lambda e, p=position: dialogue(e, [p, "go depth 8"])
    yield "two searches in one game", lambda e: dialogue(
        e, ["ucinewgame", "position startpos", "go depth 7",
            "position startpos moves e2e4 e7e5", "go depth 7"])
    # The go words as an interface may put them: repeated, spaced, in any order, with a value
    # that is no number, "infinite" or "ponder" where they do not count; and the end of a
    # search by its mate scores.
    yield "odd go lines", lambda e: dialogue(
        e, ["position startpos", "go depth 2 depth 5", "go  depth   5 wtime 100 btime 100",
            "go wtime x depth 4", "go depth 5 infinite depth 4", "go depth 4 ponder movetime 10",
            "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go depth 12"])
    yield "bench 5", lambda e: bench(e, 5)
    yield "perft 5", lambda e: dialogue(e, ["perft 5"])
    if not quick:
        yield "bench 6", lambda e: bench(e, 6)
        yield "perft 6", lambda e: dialogue(e, ["perft 6"])


def masked(text):
    lines = text if isinstance(text, list) else text.splitlines(keepends=True)
    return [MASK.sub(r"\1 X", line) for line in lines]


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    reference, candidate = sys.argv[1], sys.argv[2]
    failed = 0
    for name, run in cases("--quick" in sys.argv[3:]):
        a, b = masked(run(reference)), masked(run(candidate))
        if a == b:
            print(f"same  {name} ({len(a)} lines)")
            continue
        failed += 1
        first = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
        print(f"DIFF  {name} at line {first + 1}:")
        print("  reference: " + (a[first].rstrip() if first < len(a) else "<end>"))
        print("  candidate: " + (b[first].rstrip() if first < len(b) else "<end>"))
    print("all the same" if failed == 0 else f"{failed} case(s) differ")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
