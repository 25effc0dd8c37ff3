#!/usr/bin/env bash
# Builds Avifold twice, plainly with g++ and with AddressSanitizer + UndefinedBehaviorSanitizer
# with clang, and runs every test in both builds. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

# First the packages, then each build as CMakePresets.json describes it: configure, build, test.
bash tools/install_deps.sh

echo "== plain build"
cmake --workflow --preset plain

echo "== sanitizer build"
cmake --workflow --preset sanitizer
