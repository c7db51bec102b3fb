#!/usr/bin/env bash
# Protocol conformance and refereed games, run against the built engine (build/tervane from
# the repository root, or TERVANE_ENGINE). Installs the pinned node packages on first use.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

export TERVANE_ENGINE="${TERVANE_ENGINE:-$root/build/tervane}"
if [ ! -x "$TERVANE_ENGINE" ]; then
    echo "games: no engine at $TERVANE_ENGINE (build it first, or set TERVANE_ENGINE)" >&2
    exit 1
fi
TERVANE_ENGINE="$(cd "$(dirname "$TERVANE_ENGINE")" && pwd)/$(basename "$TERVANE_ENGINE")"

cd "$here"
# The packages need no build step, so no third-party install script is run.
if [ ! -d node_modules ]; then
    npm ci --ignore-scripts --no-audit --no-fund --loglevel=error
fi

# One test file at a time: games are timed, and two at once on a small machine would
# make the clocks lie.
node --test --test-concurrency=1 conformance.test.js referee.test.js games.test.js

# The same games once more with the sanitizer build, when there is one: whole games reach
# code paths that short unit tests do not.
asan_engine="$root/build-asan/tervane"
if [ -x "$asan_engine" ] && [ -z "${TERVANE_SKIP_ASAN_GAMES:-}" ]; then
    echo "== refereed games with the sanitizer build"
    TERVANE_ENGINE="$asan_engine" node --test --test-concurrency=1 games.test.js
fi
