#!/usr/bin/env bash
# Builds what the benchmarks need in build-bench (Release) and prints one table of every
# figure, with its target and how it was measured. Reports only: no figure fails it.
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
PYTHONPATH=tests PYTHONDONTWRITEBYTECODE=1 exec python3 bench/measure.py --build "$build" "$@"
