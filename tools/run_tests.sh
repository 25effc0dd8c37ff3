#!/usr/bin/env bash
# Builds Avifold twice, plainly and with AddressSanitizer + UndefinedBehaviorSanitizer,
# and runs every test in both builds. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install_deps.sh
jobs=$(nproc)

echo "== plain build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DAVIFOLD_SANITIZE=ON -DAVIFOLD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
