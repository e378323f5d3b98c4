#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Every option this build relies on is named, so that whatever scripts/test.sh
# left in the shared cache, and whatever this leaves for it, each gets its own.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=OFF -DNARVI_BENCH=OFF \
    -DNARVI_SANITIZE=OFF -DNARVI_GUI=ON -DNARVI_FUZZ=OFF >/dev/null
cmake --build build/release
if [ -x build/release/examples/narvi_example ]; then
  build/release/examples/narvi_example "$@"
fi
