#!/usr/bin/env bash
# A longer fuzzing session of the command-line fuzzer, from the repository root:
#   bash tests/hardening/fuzz_long.sh [duration] [workers]
# duration: seconds, or with a suffix m or h (default 30m); workers: parallel fuzzing
# processes (default 1; the machine is shared). The corpus grows in fuzz-out/corpus and
# is kept between sessions; failing inputs land in fuzz-out/artifacts. Exits non-zero when
# the fuzzer found a failing input.
set -euo pipefail
cd "$(dirname "$0")/../.."

duration=${1:-30m}
workers=${2:-1}
case "$duration" in
*h) seconds=$((${duration%h} * 3600)) ;;
*m) seconds=$((${duration%m} * 60)) ;;
*s) seconds=${duration%s} ;;
*) seconds=$duration ;;
esac

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [ ! -f build-fuzz/CMakeCache.txt ]; then
    cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVANE_SANITIZE=ON -DTERVANE_FUZZ=ON \
        -DTERVANE_TESTS=OFF >/dev/null
fi
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" --target fuzz_commands >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

mkdir -p fuzz-out/corpus fuzz-out/artifacts
for seed in fuzz/corpus/*; do
    [ -e "fuzz-out/corpus/${seed##*/}" ] || cp "$seed" fuzz-out/corpus/
done
parallel=()
[ "$workers" -gt 1 ] && parallel=(-fork="$workers")

echo "fuzzing for ${seconds} s with ${workers} worker(s); log: fuzz-out/fuzz.log"
status=0
build-fuzz/fuzz_commands "${parallel[@]}" -max_total_time="$seconds" -timeout=30 \
    -rss_limit_mb=2048 -max_len=4096 -dict=fuzz/commands.dict \
    -artifact_prefix=fuzz-out/artifacts/ -print_final_stats=1 \
    fuzz-out/corpus >fuzz-out/fuzz.log 2>&1 || status=$?

grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    fuzz-out/fuzz.log || tail -n 3 fuzz-out/fuzz.log
echo "corpus: $(find fuzz-out/corpus -type f | wc -l) inputs"
if [ "$status" -ne 0 ] || compgen -G "fuzz-out/artifacts/*" >/dev/null; then
    echo "failing inputs in fuzz-out/artifacts/ (replay one: build-fuzz/fuzz_commands FILE)" >&2
    exit 1
fi
echo "no failing input found"
