#!/usr/bin/env bash
# Builds the engine for 64-bit ARM (run under qemu-user) and for WebAssembly (run under
# Node.js through the browser's worker script and client) and checks that both answer like
# the native build: bench node counts, perft counts, search lines, and a search that "stop"
# and "isready" reach. Run from anywhere after the native build (build/tervane).
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tests/apt_install.sh
source tests/apt_install.sh

started=$(date +%s)
bench_depth=3
failed=0

# Installs the cross compiler, qemu-user, Emscripten and acorn (its optimiser's parser) when missing.
install_missing() {
    local packages=()
    command -v aarch64-linux-gnu-g++ >/dev/null || packages+=(g++-aarch64-linux-gnu)
    command -v qemu-aarch64 >/dev/null || packages+=(qemu-user)
    command -v emcc >/dev/null || packages+=(emscripten)
    [ -f /usr/share/nodejs/acorn/package.json ] || packages+=(node-acorn)
    apt_install cross "${packages[@]}"
}

# check NAME OUT COMMAND...: the engine started by COMMAND answers bench and the session as
# the native build does, and a running search hears "stop" and "isready". Its answers go to OUT.
check() {
    local name=$1 out=$2
    shift 2
    mkdir -p "$out"
    if ! diff <(grep -v '^Nodes/second' "$native/bench.native") \
        <("$@" bench "$bench_depth" </dev/null | grep -v '^Nodes/second') >"$out/bench.diff"; then
        echo "FAILED $name: bench $bench_depth differs from the native build's"
        head -n 20 "$out/bench.diff"
        failed=1
    else
        echo "ok     $name: bench $bench_depth, $(awk '/^Nodes searched/ {print $4}' "$native/bench.native") nodes"
    fi
    if ! node tests/cross/session.mjs tests/cross/session.uci "$@" >"$out/session.txt" ||
        ! diff "$native/session.native" "$out/session.txt" >"$out/session.diff"; then
        echo "FAILED $name: the session's answers differ from the native build's"
        head -n 20 "$out/session.diff"
        failed=1
    else
        echo "ok     $name: session (perft 4 and 5, searches to depths 5 to 8) answered alike"
    fi
    if ! node tests/cross/session.mjs tests/cross/stop.uci "$@" >"$out/stop.txt"; then
        echo "FAILED $name: a running search did not answer isready or stop"
        failed=1
    else
        echo "ok     $name: isready and stop reach a running search"
    fi
}

# Runs a build step with its output kept aside, shown only when the step fails.
quietly() {
    local log="${TMPDIR:-/tmp}/tervane-cross-build.log"
    "$@" >"$log" 2>&1 || { tail -n 30 "$log"; return 1; }
}

install_missing || echo "Some cross tools could not be installed; their checks are skipped"
[ -x build/tervane ] || { echo "build/tervane is missing: build the native engine first"; exit 1; }

# The native build's answers, the reference for both.
native=build/cross-check
mkdir -p "$native"
build/tervane bench "$bench_depth" >"$native/bench.native"
node tests/cross/session.mjs tests/cross/session.uci build/tervane >"$native/session.native"

if command -v aarch64-linux-gnu-g++ >/dev/null && command -v qemu-aarch64 >/dev/null; then
    echo "Building build-arm/tervane (64-bit ARM)"
    quietly cmake --no-warn-unused-cli -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
        -DCMAKE_BUILD_TYPE=Release
    quietly cmake --build build-arm --target tervane -j2
    check "ARM under qemu" build-arm/check qemu-aarch64 build-arm/tervane
else
    echo "ARM checks skipped: g++-aarch64-linux-gnu or qemu-user is missing"
fi

if command -v emcmake >/dev/null && [ -f /usr/share/nodejs/acorn/package.json ]; then
    echo "Building build-wasm/tervane.js and tervane.wasm (WebAssembly)"
    quietly emcmake cmake -S . -B build-wasm -DTERVANE_WASM=ON -DCMAKE_BUILD_TYPE=Release
    quietly cmake --build build-wasm -j2
    check "WebAssembly under Node.js" build-wasm/check node tests/cross/wasm_engine.mjs build-wasm
else
    echo "WebAssembly checks skipped: emscripten or node-acorn is missing"
fi

echo "Cross builds checked in $(($(date +%s) - started)) s"
exit "$failed"
