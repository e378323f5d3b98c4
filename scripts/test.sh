#!/usr/bin/env bash
# Installs what is missing, builds the Release and the sanitizer configurations
# and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-format clang libclang-rt-14-dev xvfb xauth x11-utils openbox
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# Every C and C++ source keeps the one format of .clang-format.
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# Each configuration names every option it relies on: scripts/run.sh shares
# build/release with tests switched off, and a cached value must never decide
# whether tests run. ctest fails when it finds none, so a green run has tested.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=ON -DNARVI_BENCH=ON \
    -DNARVI_SANITIZE=OFF -DNARVI_GUI=ON -DNARVI_FUZZ=OFF
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure --timeout 300 --no-tests=error

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNARVI_TESTS=ON -DNARVI_BENCH=OFF \
    -DNARVI_SANITIZE=ON -DNARVI_GUI=ON -DNARVI_FUZZ=OFF
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan -j "$jobs" --output-on-failure --timeout 600 --no-tests=error

# Every landing fuzzes each harness for a little while, from fresh seeds.
echo "== scripts/fuzz.sh"
bash scripts/fuzz.sh --total 60

for extra in scripts/test-*.sh; do
  [ -e "$extra" ] || continue
  echo "== $extra"
  bash "$extra"
done
