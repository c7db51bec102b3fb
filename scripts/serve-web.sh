#!/usr/bin/env bash
# Builds the board page with the WebAssembly engine and serves it on this machine:
#   bash scripts/serve-web.sh [--port N] [--host ADDRESS] [--build-only]
# The page is put together in build-web/site: the files of web/, its npm packages (from
# web/package-lock.json) under vendor/, and the engine under engine/. Nothing there is
# fetched from elsewhere, so the page needs no network once it is loaded.
set -euo pipefail
cd "$(dirname "$0")/.."

port=8080
host=127.0.0.1
serve=1
while [ $# -gt 0 ]; do
    case "$1" in
    --port) port="$2"; shift 2 ;;
    --host) host="$2"; shift 2 ;;
    --build-only) serve=0; shift ;;
    *) echo "usage: $0 [--port N] [--host ADDRESS] [--build-only]" >&2; exit 2 ;;
    esac
done

site=build-web/site

# The engine: build-wasm/tervane.js and tervane.wasm, which the build copies to web/engine/.
# Emscripten's optimiser needs Debian's acorn (node-acorn).
if [ ! -f build-wasm/CMakeCache.txt ]; then
    emcmake cmake -S . -B build-wasm -DTERVANE_WASM=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build-wasm -j2 >/dev/null

# The packages need no build step, so no third-party install script is run.
if [ ! -f web/node_modules/.package-lock.json ] ||
    [ web/package-lock.json -nt web/node_modules/.package-lock.json ]; then
    (cd web && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
fi

rm -rf "$site"
mkdir -p "$site/vendor/cm-chessboard/assets" "$site/vendor/chess.js"
for file in web/*; do
    case "$(basename "$file")" in
    node_modules | package.json | package-lock.json) ;;
    *) cp -r "$file" "$site/" ;;
    esac
done
board=web/node_modules/cm-chessboard
cp -r "$board/src" "$site/vendor/cm-chessboard/"
cp -r "$board/assets/chessboard.css" "$board/assets/pieces" "$board/assets/extensions" \
    "$site/vendor/cm-chessboard/assets/"
cp "$board/LICENSE" "$site/vendor/cm-chessboard/"
cp web/node_modules/chess.js/dist/esm/chess.js web/node_modules/chess.js/LICENSE "$site/vendor/chess.js/"
find "$site/vendor" -name '*.scss' -delete -o -name '*.map' -delete
# What the service worker keeps for use without a network: every file, and the folder's
# own address, which opens index.html.
(cd "$site" && find . -type f ! -name offline-files.json | sed 's|^\./||' | sort |
    node -e 'const files = require("fs").readFileSync(0, "utf8").split("\n").filter(Boolean);
             console.log(JSON.stringify(["./", ...files], null, 1));' >offline-files.json)
# The page's version, a digest of its files, written into the service worker: a changed page
# makes a changed worker, which the browser installs in place of the old one with the new files.
version=$(cd "$site" && find . -type f ! -name service-worker.js -print0 | sort -z |
    xargs -0 sha256sum | sha256sum | cut -c1-16)
sed -i "s/^const VERSION = .*/const VERSION = '$version';/" "$site/service-worker.js"

[ "$serve" = 1 ] || exit 0
exec node scripts/web-server.js "$site" --port "$port" --host "$host"
