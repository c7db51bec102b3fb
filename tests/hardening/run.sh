#!/usr/bin/env bash
# Hardening suite, run from the repository root by tests/run_all.sh:
#   1. the whole test suite built with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
#      and with the checked build's assertions of the engine's invariants;
#   2. the command-line fuzzer (libFuzzer, same sanitizers): the saved regressions and the
#      seed corpus replayed, then about a minute of fuzzing from the seed corpus.
# Any sanitizer report, test failure or fuzzer crash fails the suite.
# FUZZ_SECONDS overrides the length of the fuzzing run (default 60).
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-60}

# clang with its sanitizer and fuzzer runtimes (a recommended package, so named here),
# cmake and googletest.
missing=()
if command -v clang++ >/dev/null 2>&1; then
    [ -f "$(clang++ -print-file-name=libclang_rt.fuzzer-$(uname -m).a)" ] ||
        missing+=("libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev")
else
    missing+=(clang libclang-rt-dev)
fi
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "hardening: missing packages (install them as root): ${missing[*]}" >&2
        exit 1
    fi
    echo "hardening: installing ${missing[*]}"
    apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)

# A build folder configured with another compiler or generator cannot be reused.
fresh_build_dir() {
    local dir=$1
    if [ -f "$dir/CMakeCache.txt" ] &&
        ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$dir/CMakeCache.txt"; then
        rm -rf "$dir"
    fi
    if [ -f "$dir/CMakeCache.txt" ]; then
        local cached
        cached=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$dir/CMakeCache.txt")
        local wanted="Unix Makefiles"
        [ ${#generator[@]} -gt 0 ] && wanted=Ninja
        [ "$cached" = "$wanted" ] || rm -rf "$dir"
    fi
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "-- sanitizer build (build-asan) and the whole test suite"
fresh_build_dir build-asan
cmake -S . -B build-asan "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVANE_SANITIZE=ON -DTERVANE_CHECKED=ON \
    -DTERVANE_PLAIN_ENGINE=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "-- fuzzer build (build-fuzz)"
fresh_build_dir build-fuzz
cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVANE_SANITIZE=ON -DTERVANE_CHECKED=ON -DTERVANE_FUZZ=ON \
    -DTERVANE_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_commands
fuzzer=build-fuzz/fuzz_commands

echo "-- replaying the regressions and the seed corpus"
replay=(fuzz/corpus/*)
if compgen -G "fuzz/regressions/*" >/dev/null; then replay+=(fuzz/regressions/*); fi
"$fuzzer" -timeout=60 "${replay[@]}" >build-fuzz/replay.log 2>&1 || {
    tail -n 60 build-fuzz/replay.log >&2
    echo "hardening: a saved input fails again (see build-fuzz/replay.log)" >&2
    exit 1
}
echo "${#replay[@]} inputs replayed cleanly"

echo "-- fuzzing for ${fuzz_seconds} s"
# The checked-in seeds stay as they are; the working corpus grows in the build folder.
mkdir -p build-fuzz/corpus build-fuzz/artifacts
for seed in fuzz/corpus/*; do
    [ -e "build-fuzz/corpus/${seed##*/}" ] || cp "$seed" build-fuzz/corpus/
done
rm -f build-fuzz/artifacts/*
status=0
"$fuzzer" -max_total_time="$fuzz_seconds" -timeout=30 -rss_limit_mb=2048 -max_len=4096 \
    -dict=fuzz/commands.dict -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 \
    build-fuzz/corpus >build-fuzz/fuzz.log 2>&1 || status=$?
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    build-fuzz/fuzz.log || true
if [ "$status" -ne 0 ] || compgen -G "build-fuzz/artifacts/*" >/dev/null; then
    grep -E -A 30 '^==[0-9]+==|runtime error|^\*\*\*|Test unit written|ALARM|deadly' \
        build-fuzz/fuzz.log | head -n 80 >&2 || true
    echo "hardening: the fuzzer found a failing input: build-fuzz/artifacts/" >&2
    echo "hardening: once mended, keep it in fuzz/regressions/ so it is replayed" >&2
    exit 1
fi
echo "hardening: clean"
