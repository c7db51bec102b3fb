#!/usr/bin/env bash
# The board page with the WebAssembly engine in headless Chromium: builds both (the engine
# with Emscripten, the page's packages from its lock file), serves them on a free port of
# 127.0.0.1 and plays as a person would (page.test.js). Screenshots: build-web/screenshots.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tests/apt_install.sh
source tests/apt_install.sh

started=$(date +%s)

install_missing() {
    local packages=()
    [ -x /usr/bin/chromium ] || packages+=(chromium)
    command -v emcc >/dev/null || packages+=(emscripten)
    [ -d /usr/share/nodejs/acorn ] || packages+=(node-acorn)
    apt_install web "${packages[@]}"
}

install_missing || skip "Browser tests" "Chromium or Emscripten could not be installed"

echo "Building the engine for the browser and the page"
bash scripts/serve-web.sh --build-only

# The packages need no build step, so no third-party install script is run.
if [ ! -f tests/web/node_modules/.package-lock.json ] ||
    [ tests/web/package-lock.json -nt tests/web/node_modules/.package-lock.json ]; then
    (cd tests/web && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
fi

node --test --test-concurrency=1 tests/web/page.test.js
echo "Browser tests took $(($(date +%s) - started)) s"
