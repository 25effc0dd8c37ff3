#!/usr/bin/env bash
# Builds Avifold and starts it from the folder that holds data/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake --preset plain >/dev/null
cmake --build --preset plain --target avifold
exec ./build/app/avifold "$@"
