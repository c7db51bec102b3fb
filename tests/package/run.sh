#!/usr/bin/env bash
# Checks what a player, a packager and OpenBench get: the .deb (unpacked, its engine run over
# a pipe, lintian's verdict), the .tar.gz, cmake --install into DESTDIR, the manual page, the
# Windows .zip and the build through "make EXE=". Run from anywhere; the packages come from
# the normal Release build (build/) and the Windows build (build-windows/), built here when
# they are missing or out of date.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tests/apt_install.sh
source tests/apt_install.sh

started=$(date +%s)
mingw=x86_64-w64-mingw32-g++-posix
work=$(mktemp -d "${TMPDIR:-/tmp}/tervane-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAILED $*"
    exit 1
}

install_missing() {
    local packages=()
    command -v file >/dev/null || packages+=(file)
    command -v dpkg-shlibdeps >/dev/null || packages+=(dpkg-dev)
    command -v man >/dev/null || packages+=(man-db)
    command -v groff >/dev/null || packages+=(groff-base)
    command -v lintian >/dev/null || packages+=(lintian)
    command -v "$mingw" >/dev/null || packages+=(g++-mingw-w64-x86-64-posix)
    apt_install package "${packages[@]}"
}

install_missing || echo "Some tools could not be installed; the checks that need them are skipped"
for tool in file dpkg-shlibdeps man groff; do
    command -v "$tool" >/dev/null || fail "$tool is needed to build and check the packages"
done

# The engine as installed from a package: the UCI handshake over a pipe, --version, bench.
check_engine() {
    local engine=$1 what=$2
    local expected="Tervane $version"$'\nUCI chess engine\n'"id name Tervane $version"$'\nid author Orsolen\nuciok\nreadyok'
    local answer
    answer=$(printf 'uci\nisready\nquit\n' | timeout 10 "$engine") ||
        fail "$what ends the session with status $?"
    [ "$answer" = "$expected" ] || fail "$what answers uci and isready with:"$'\n'"$answer"
    [ "$(timeout 10 "$engine" --version)" = "Tervane $version" ] || fail "$what --version"
    [ "$(timeout 60 "$engine" bench 2 | tail -n 2 | head -n 1)" = "$reference_nodes" ] ||
        fail "$what bench 2 does not search like build/tervane"
}

echo "Building the packages"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target tervane >/dev/null
reference_nodes=$(build/tervane bench 2 | tail -n 2 | head -n 1)
# The packages come from a position-independent build, and cpack refuses the default one.
if cpack --config build/CPackConfig.cmake -G DEB -B "$work/refused" >"$work/cpack.log" 2>&1; then
    fail "cpack made a .deb of a build that is not position-independent"
fi
grep -q "TERVANE_PIE=ON" "$work/cpack.log" || { cat "$work/cpack.log"; fail "cpack's refusal"; }
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DTERVANE_PIE=ON -DTERVANE_TESTS=OFF >/dev/null
cmake --build build-package -j2 --target tervane >/dev/null
cpack --config build-package/CPackConfig.cmake -B "$work/packages" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
version=$(build/tervane --version)
version=${version#Tervane }

deb="$work/packages/tervane_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
[ "$(dpkg-deb -f "$deb" Package)" = tervane ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section"
# Computed by dpkg-shlibdeps: at least the C library, with the version the binary needs.
[[ "$(dpkg-deb -f "$deb" Depends)" == *"libc6 (>= "* ]] || fail "dependencies: $(dpkg-deb -f "$deb" Depends)"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF, $1, $2}' | LC_ALL=C sort)
expected_files="./usr/games/tervane -rwxr-xr-x root/root
./usr/share/doc/tervane/README.md -rw-r--r-- root/root
./usr/share/doc/tervane/changelog.gz -rw-r--r-- root/root
./usr/share/doc/tervane/copyright -rw-r--r-- root/root
./usr/share/man/man6/tervane.6.gz -rw-r--r-- root/root"
[ "$files" = "$expected_files" ] || fail "the .deb holds:"$'\n'"$files"
dpkg-deb -x "$deb" "$work/root"
engine="$work/root/usr/games/tervane"
file "$engine" | grep -q "stripped$" || fail "the engine in the .deb is not stripped"
file "$engine" | grep -q "pie executable" || fail "the engine in the .deb is not position-independent"
check_engine "$engine" "the engine of the .deb"

tgz="$work/packages/tervane-$version-Linux.tar.gz"
[ "$(tar tzf "$tgz" | grep -v '/$' | LC_ALL=C sort | tr '\n' ' ')" = \
    "tervane-$version-Linux/games/tervane tervane-$version-Linux/share/doc/tervane/README.md tervane-$version-Linux/share/doc/tervane/changelog.gz tervane-$version-Linux/share/doc/tervane/copyright tervane-$version-Linux/share/man/man6/tervane.6.gz " ] ||
    fail "the .tar.gz holds: $(tar tzf "$tgz")"

DESTDIR="$work/destdir" cmake --install build-package --prefix /opt/tervane >/dev/null
for installed in games/tervane share/man/man6/tervane.6.gz share/doc/tervane/README.md; do
    [ -f "$work/destdir/opt/tervane/$installed" ] || fail "cmake --install with DESTDIR and --prefix: no $installed"
done

echo "Rendering the manual page"
page="$work/root/usr/share/man/man6/tervane.6.gz"
warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns about the manual page:"$'\n'"$warnings"
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>"$work/man.err")
[ ! -s "$work/man.err" ] || fail "man -l warns: $(cat "$work/man.err")"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS COMMANDS BENCH "EXIT STATUS" FILES EXAMPLES; do
    grep -q "^$section" <<<"$rendered" || fail "the manual page has no $section"
done

if command -v lintian >/dev/null; then
    echo "Running lintian"
    # No error and no warning (the notes kept are explained in cmake/packaging.cmake).
    status=0
    lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || status=$?
    grep -v "running with root privileges" "$work/lintian.log" || true
    [ "$status" = 0 ] || fail "lintian"
else
    echo "lintian is not installed: skipped"
fi

echo "Building through make EXE="
make -s -j2 EXE="$work/openbench/tervane" >"$work/make.log" 2>&1 ||
    { tail -n 20 "$work/make.log"; fail "make EXE="; }
check_engine "$work/openbench/tervane" "the engine of make EXE="

if command -v "$mingw" >/dev/null; then
    echo "Building the Windows .zip"
    cmake --no-warn-unused-cli -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cpack --config build-windows/CPackConfig.cmake -B "$work/windows" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack of the Windows build"; }
    zip="$work/windows/tervane-$version-win64.zip"
    [ "$(cmake -E tar tf "$zip" | LC_ALL=C sort | tr '\n' ' ')" = \
        "tervane-$version-win64/README.md tervane-$version-win64/tervane.exe " ] ||
        fail "the .zip holds: $(cmake -E tar tf "$zip")"
    (cd "$work/windows" && cmake -E tar xf "$zip")
    file "$work/windows/tervane-$version-win64/tervane.exe" | grep -q "PE32+ executable (console) x86-64" ||
        fail "tervane.exe in the .zip is not a Windows console program"
else
    echo "The MinGW-w64 cross compiler is missing: the Windows .zip is not checked"
fi

echo "Package tests passed in $(($(date +%s) - started)) s"
