#!/usr/bin/env bash
# Cross-compiles the Windows engine and its test driver with MinGW-w64 and runs the driver
# under Wine. Run from anywhere after the Linux build (build/tervane), whose answers to
# session.uci are the reference for the Windows build's.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tests/apt_install.sh
source tests/apt_install.sh

out=build-windows
compiler=x86_64-w64-mingw32-g++-posix
started=$(date +%s)

install_missing() {
    local packages=()
    command -v "$compiler" >/dev/null || packages+=(g++-mingw-w64-x86-64-posix)
    command -v wine >/dev/null || packages+=(wine wine64)
    apt_install windows "${packages[@]}"
}

install_missing || skip "Windows tests" "the MinGW-w64 cross compiler or Wine could not be installed"
[ -x build/tervane ] || { echo "build/tervane is missing: build the Linux engine first"; exit 1; }

echo "Building $out/tervane.exe"
cmake --no-warn-unused-cli -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" --target tervane -j2 >/dev/null
if [ ! -f "$out/driver.exe" ] || [ tests/windows/driver.cpp -nt "$out/driver.exe" ]; then
    "$compiler" -std=c++20 -O2 -Wall -Wextra -static -o "$out/driver.exe" tests/windows/driver.cpp
fi

# A Windows machine has only its system DLLs: a runtime DLL linked in by mistake would
# run here (Wine finds it beside the compiler) and fail there.
dlls=$(x86_64-w64-mingw32-objdump -p "$out/tervane.exe" | awk '/DLL Name:/ {print $3}')
for dll in $dlls; do
    case "${dll,,}" in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
    *)
        echo "FAILED tervane.exe needs $dll"
        exit 1
        ;;
    esac
done

# The reference: the Linux build's answers to the same session. Its input stays open until
# the last search has answered, since the end of input would cut a search short: the
# writer watches the file the engine writes.
session=tests/windows/session.uci
expected="$out/expected.txt"
searches=$(grep -c '^go' "$session")
: >"$expected"
# shellcheck disable=SC2094
{
    cat "$session"
    for _ in $(seq 600); do
        [ "$(grep -c '^bestmove ' "$expected")" -ge "$searches" ] && break
        sleep 0.1
    done
} | build/tervane >"$expected"

export WINEPREFIX="$PWD/$out/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts, and no windows: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# A first run creates the prefix, which takes a while (up to minutes on a busy machine);
# done apart so that it eats none of the driver's timeouts.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix"
    rm -rf "$WINEPREFIX"
    timeout 600 wineboot --init >/dev/null 2>&1 || true
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "FAILED Wine could not create its prefix"; exit 1; }
fi

echo "Running the Windows tests under Wine"
status=0
timeout 900 wine "$out/driver.exe" "$out/tervane.exe" "$session" "$expected" || status=$?
echo "Windows tests under Wine took $(($(date +%s) - started)) s"
exit "$status"
