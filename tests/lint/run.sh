#!/usr/bin/env bash
# Lint suite, run from the repository root by tests/run_all.sh: clang-tidy with the checks of
# .clang-tidy over every source file of src/ that the build compiles (real faults, and no
# function harder to follow than the cognitive-complexity ceiling), and clang-format's check
# that the C++ sources are formatted as .clang-format says. Any finding fails the suite.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tests/apt_install.sh
source tests/apt_install.sh
jobs=$(nproc 2>/dev/null || echo 2)
build=${LINT_BUILD_DIR:-build}

missing=()
command -v clang-tidy >/dev/null || missing+=(clang-tidy)
command -v clang-format >/dev/null || missing+=(clang-format)
apt_install lint "${missing[@]}" || skip "Lint" "clang-tidy or clang-format could not be installed"

echo "-- clang-format"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "-- clang-tidy"
# The compile commands of the build (exported by CMake); configuring is enough.
[ -f "$build/compile_commands.json" ] || cmake -S . -B "$build" >/dev/null
# The files of src/ that this build compiles (the other platforms' files are left out).
files=$(python3 -c '
import json, os, sys
seen = sorted({os.path.relpath(e["file"]) for e in json.load(open(sys.argv[1]))})
print("\n".join(f for f in seen if f.startswith("src/")))' "$build/compile_commands.json")
echo "$files" | xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
echo "Lint passed."
