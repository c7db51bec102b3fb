#!/usr/bin/env bash
# Builds the engine and runs every test. Used as is by CI.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

started=$(date +%s)
echo "== Release build and unit/integration tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# Further suites, each self-contained in its own folder.
for suite in tests/lint/run.sh tests/hardening/run.sh tests/games/run.sh tests/gui/run.sh tests/windows/run.sh \
    tests/package/run.sh tests/cross/run.sh tests/web/run.sh; do
    if [ -f "$suite" ]; then
        echo "== $suite"
        suite_start=$(date +%s)
        bash "$suite"
        echo "== $suite took $(($(date +%s) - suite_start)) s"
    fi
done
echo "All test suites passed in $(($(date +%s) - started)) s."
