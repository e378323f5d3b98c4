#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz (clang, ASan + UBSan, in
# build/fuzz) and runs each of them for a while:
#   scripts/fuzz.sh 1800               every harness for 1800 s, one after the other
#   scripts/fuzz.sh 600 FuzzIndex      only the harnesses named
#   scripts/fuzz.sh --total 60         the time split evenly over all harnesses (CI)
# Seeds are written afresh by the test-data writers into build/fuzz/seeds;
# what the fuzzer learns stays in build/fuzz/corpus/<harness> for the next
# run. A crash, a leak, a hang over 10 s or a single allocation over 512 MB
# fails the script; the input is kept in build/fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang libclang-rt-14-dev

total=0
if [ "${1:-}" = "--total" ]; then
    total=1
    shift
fi
seconds=${1:?usage: scripts/fuzz.sh [--total] seconds [harness...]}
shift
jobs=${JOBS:-$(nproc)}

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNARVI_FUZZ=ON \
    -DNARVI_TESTS=OFF -DNARVI_BENCH=OFF -DNARVI_GUI=ON >/dev/null
mapfile -t harnesses < <(if (($#)); then printf '%s\n' "$@"; else cat build/fuzz/fuzzers.txt; fi)
cmake --build build/fuzz -j "$jobs" --target fuzz_seeds "${harnesses[@]}"

rm -rf build/fuzz/seeds
build/fuzz/tests/fuzz/fuzz_seeds build/fuzz/seeds
mkdir -p build/fuzz/crashes build/fuzz/logs
((total)) && seconds=$((seconds / ${#harnesses[@]}))
# Temporary recordings go to memory where there is some.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

status=0
for h in "${harnesses[@]}"; do
    corpus=build/fuzz/corpus/$h
    log=build/fuzz/logs/$h.log
    mkdir -p "$corpus"
    if timeout $((seconds + 120)) "build/fuzz/tests/fuzz/$h" -max_total_time="$seconds" -timeout=10 \
        -max_len=65536 -malloc_limit_mb=512 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/crashes/$h-" "$corpus" "build/fuzz/seeds/$h" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    echo "$h: $result, ${runs:-?} runs in ${seconds} s (${rate:-?}/s), ${cov:-?} edges covered"
    if [ "$result" != ok ]; then
        grep -E 'ERROR|runtime error|SUMMARY|Test unit written|FuzzInterface:|FuzzIndex:' "$log" | head -20
    fi
done
exit $status
