#!/usr/bin/env bash
# Builds Avifold for the browser: the same sources compiled with Debian's emscripten into
# build-web/site/ (index.html, avifold.js, avifold.wasm and avifold.data with the seven
# images), and the same with its GL error reports into build-web-debug/site/ for the
# tests. Installs what it needs with apt-get (emscripten; Chromium for the tests) and the
# tests' npm packages (tests/web, as locked). Run from anywhere; again, it rebuilds only
# what changed.
#
# Serve the site and open it:
#   python3 -m http.server --bind 127.0.0.1 -d build-web/site 8000
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

packages=(cmake make emscripten chromium nodejs npm)
missing=()
for p in "${packages[@]}"; do
  # node may come from outside Debian; any node 18 or newer runs the tests.
  if [ "$p" = nodejs ] || [ "$p" = npm ]; then
    command -v "${p/nodejs/node}" >/dev/null && continue
  fi
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

echo "== the site"
cmake --preset web
cmake --build --preset web
echo "== the site with GL error reports"
cmake --preset web-debug
cmake --build --preset web-debug

echo "== the browser tests' packages"
npm ci --prefix tests/web --no-audit --no-fund --loglevel=error
echo "wrote build-web/site"
