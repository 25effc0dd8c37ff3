#!/usr/bin/env bash
# Builds what the benchmarks need in build-bench (Release) and prints one table of every
# figure, with its target and how it was measured. Reports only: no figure fails it.
# Usage: bash bench/run.sh [--repetitions N] [--start-ups N] [--rate-runs N]
# Needs Xvfb and xdotool (tools/install_deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
jobs=2  # the machine is shared: keep the build light
log="$build/bench-build.log"
mkdir -p "$build"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DAVIFOLD_BENCH=ON &&
  cmake --build "$build" -j "$jobs" \
    --target avifold avifold_probe core_bench texture_bench bare_loop; } >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
PYTHONPATH=tests PYTHONDONTWRITEBYTECODE=1 exec python3 bench/measure.py --build "$build" "$@"
