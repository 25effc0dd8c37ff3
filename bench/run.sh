#!/usr/bin/env bash
# Builds what the benchmarks need in build-bench (Release) and prints one table of every
# figure, with its target and how it was measured. Reports only: no figure fails it.
# Then, when tools/build_web.sh has built the sites, the browser build's table in Chromium
# and Firefox (bench/web_measure.mjs, under an Xvfb of the harness's own for Firefox's
# window): the shipped site's, with ticks from the tests' site held to the desktop's just
# measured.
# Usage: bash bench/run.sh [--repetitions N] [--start-ups N] [--rate-runs N]
# Needs Xvfb and xdotool (tools/install_deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench  # the bench preset's tree (CMakePresets.json)
log="$build/bench-build.log"
mkdir -p "$build"
if ! { cmake --preset bench &&
  cmake --build --preset bench \
    --target avifold avifold_probe core_bench texture_bench bare_loop; } >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
desktop="$build/desktop-table.md"
PYTHONPATH=tests PYTHONDONTWRITEBYTECODE=1 python3 bench/measure.py --build "$build" "$@" |
  tee "$desktop"
case " $* " in *" -h "* | *" --help "*) exit 0 ;; esac

if [ ! -f build-web/site/index.html ] || [ ! -f build-web-debug/site/index.html ] ||
  [ ! -d tests/web/node_modules/puppeteer-core ]; then
  echo "no browser build (bash tools/build_web.sh makes one): its figures are left out" >&2
  exit 0
fi
echo
# The row "| Ticks/s, avifold | 29.21 | ..." of the table above.
desktop_ticks=$(awk -F'|' '$2 ~ /^ *Ticks\/s, avifold *$/ {gsub(/ /, "", $3); print $3}' "$desktop")
[[ $desktop_ticks =~ ^[0-9]+(\.[0-9]+)?$ ]] || desktop_ticks=""  # none: the README's, the default
PYTHONPATH=tests PYTHONDONTWRITEBYTECODE=1 python3 -m harness run -- \
  node bench/web_measure.mjs --site build-web/site --debug-site build-web-debug/site \
  ${desktop_ticks:+--desktop-ticks "$desktop_ticks"}
