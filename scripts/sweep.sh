#!/usr/bin/env bash
# Sweeps the text room of generated charts beyond the test's fixed set:
#   scripts/sweep.sh [first [count [jobs [chart_tests]]]]
# runs the seeds first .. first+count-1 (default 1000 and 5000) through the
# TextRoomSweep test, its eight blocks spread over `jobs` processes (default 4), and
# prints each failing chart's settings and picture (in $NARVI_SWEEP_DIR, default
# build/sweep) followed by a count of the charts with a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
first=${1:-1000}
count=${2:-5000}
jobs=${3:-4}
bin=${4:-build/release/tests/chart/chart_tests}
[ -x "$bin" ] || { echo "no test binary at $bin (build the Release configuration first)" >&2; exit 2; }
export QT_QPA_PLATFORM=offscreen
export NARVI_SWEEP_SEEDS="$first,$count"
export NARVI_SWEEP_DIR=${NARVI_SWEEP_DIR:-$PWD/build/sweep}
mkdir -p "$NARVI_SWEEP_DIR"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi
logs=$(mktemp -d)
seq 0 7 | xargs -P "$jobs" -I{} sh -c \
    "\"$bin\" --gtest_filter='Seeds/TextRoomSweep.EveryTextHasItsRoom/{}' > \"$logs/{}.log\" 2>&1 || true"
cat "$logs"/*.log | grep -E '^seed |^  \(|^[0-9]+ charts' || true
failed=$(cat "$logs"/*.log | grep -c '^seed ' || true)
echo "seeds $first..$((first + count - 1)): $failed of $count charts with a finding"
rm -rf "$logs"
[ "$failed" -eq 0 ]
