#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=OFF >/dev/null
cmake --build build/release
if [ -x build/release/examples/narvi_example ]; then
  build/release/examples/narvi_example "$@"
fi
