#!/usr/bin/env bash
# Paints the gallery of typical charts (the viewer's scene at three widths, plain
# line, point and 3D charts, every tool once) into a folder, one PNG per chart and
# gallery.png with all of them captioned, and prints the sheet's path. Look at it
# before and after a change of the drawing.
# Usage: scripts/gallery.sh [out-dir]   (default build/gallery)
set -euo pipefail
out=${1:-build/gallery}
mkdir -p "$out"
out=$(cd "$out" && pwd)
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The options of scripts/test.sh's Release build, all named, so that the two share
# build/release without one's cached value deciding for the other.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=ON -DNARVI_BENCH=ON \
    -DNARVI_SANITIZE=OFF -DNARVI_GUI=ON -DNARVI_FUZZ=OFF >/dev/null
cmake --build build/release --target chart_tests >/dev/null
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
NARVI_GALLERY_DIR="$out" build/release/tests/chart/chart_tests --gtest_filter='Gallery.*' --gtest_brief=1 >&2
echo "$out/gallery.png"
