#!/usr/bin/env bash
# Builds Avifold and starts it from the folder that holds data/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target avifold
exec ./build/app/avifold "$@"
