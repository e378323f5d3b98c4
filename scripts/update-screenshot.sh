#!/usr/bin/env bash
# Regenerates docs/vantora.png, the README's picture of the viewer: the same
# start as scripts/run.sh (demo recording, a shot shown) under a virtual X
# server, at the window's default size.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb xauth x11-apps x11-utils imagemagick
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target Vantora vantora_demo
# The default window, not the one a previous run left in the settings file.
rm -f build/release/bin/Vantora.ini
shot=$(env -u DISPLAY -u WAYLAND_DISPLAY scripts/show-viewer.sh build/release)
mkdir -p docs
cp "$shot" docs/vantora.png
rm -f build/release/bin/Vantora.ini
echo docs/vantora.png
