#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the viewer Vantora on a
# demo recording with its index (written first when absent), showing a record.
# Arguments go to Vantora instead of the default ones. Without a display the
# same start runs under a virtual X server: a screenshot of the window is saved
# in the build folder, its path printed, and the run ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb xauth x11-apps x11-utils imagemagick
# Every option this build relies on is named, so that whatever scripts/test.sh
# left in the shared cache, and whatever this leaves for it, each gets its own.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=OFF -DNARVI_BENCH=OFF \
    -DNARVI_SANITIZE=OFF -DNARVI_GUI=ON -DNARVI_FUZZ=OFF >/dev/null
cmake --build build/release
exec scripts/show-viewer.sh build/release "$@"
