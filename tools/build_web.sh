#!/usr/bin/env bash
# Builds Avifold for the browser: the same sources compiled with Debian's emscripten into
# build-web/site/ (index.html, avifold.js, avifold.wasm and avifold.data with the seven
# images), and the same with its GL error reports into build-web-debug/site/ for the
# tests. Installs what it needs with apt-get (emscripten; Chromium and Firefox ESR for
# the tests) and the tests' npm packages (tests/web, as locked). Run from anywhere; again,
# it rebuilds only what changed.
#
# Serve the site and open it:
#   python3 -m http.server --bind 127.0.0.1 -d build-web/site 8000
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's emscripten, Chromium and Firefox ESR; node (and npm) may come from outside Debian, and any
# node 18 or newer runs the tests.
packages=(cmake make emscripten chromium firefox-esr)
command -v npm >/dev/null || packages+=(nodejs npm)
bash tools/install_deps.sh "${packages[@]}"

echo "== the site"
cmake --preset web
cmake --build --preset web
echo "== the site with GL error reports"
cmake --preset web-debug
cmake --build --preset web-debug

echo "== the browser tests' packages"
npm ci --prefix tests/web --no-audit --no-fund --loglevel=error
echo "wrote build-web/site"
