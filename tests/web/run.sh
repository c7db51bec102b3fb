#!/usr/bin/env bash
# The board page with the WebAssembly engine, in headless Chromium and in headless Firefox:
# builds both (the engine with Emscripten, the page's packages from its lock file), serves
# them on a free port of 127.0.0.1 and plays as a person would (page.test.js, the same cases
# in each browser). Screenshots: build-web/screenshots.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tests/apt_install.sh
source tests/apt_install.sh

started=$(date +%s)

install_missing() {
    local packages=()
    [ -x /usr/bin/chromium ] || packages+=(chromium)
    [ -x /usr/bin/firefox-esr ] || packages+=(firefox-esr)
    command -v emcc >/dev/null || packages+=(emscripten)
    [ -d /usr/share/nodejs/acorn ] || packages+=(node-acorn)
    apt_install web "${packages[@]}"
}

install_missing </dev/null || skip "Browser tests" "Chromium, Firefox or Emscripten could not be installed"

echo "Building the engine for the browser and the page"
bash scripts/serve-web.sh --build-only </dev/null

# The packages need no build step, so no third-party install script is run.
if [ ! -f tests/web/node_modules/.package-lock.json ] ||
    [ tests/web/package-lock.json -nt tests/web/node_modules/.package-lock.json ]; then
    (cd tests/web && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error </dev/null)
fi

node --test tests/web/book.test.mjs </dev/null
for browser in chromium firefox; do
    echo "== The page in $browser"
    browser_started=$(date +%s)
    TERVANE_BROWSER=$browser node --test --test-concurrency=1 tests/web/page.test.js </dev/null
    echo "The page in $browser took $(($(date +%s) - browser_started)) s"
done
echo "Browser tests took $(($(date +%s) - started)) s"
