#!/usr/bin/env bash
# Runs the index tests that need a folder blind to letter case on a real one:
# a vfat image mounted through fusefat, as the temporary folder of the tests.
# There every spelling of "rec.idx" names one file and FUSE gives each
# spelling an inode number of its own. Where this machine cannot mount it (no
# /dev/fuse, the mount refused) the script says so and skips; a mount it made
# is always unmounted, also when a test fails or the run is interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh fuse fusefat dosfstools
root=$PWD

skip() {
    echo "casefold: NOT RUN: $*"
    exit 0
}
[ -e /dev/fuse ] || skip "this machine has no /dev/fuse"

work=$(mktemp -d)
mnt=$work/fat
mounted=
cleanup() {
    if [ -n "$mounted" ] && mountpoint -q "$mnt"; then
        fusermount -u "$mnt" 2>/dev/null || umount "$mnt" 2>/dev/null || umount -l "$mnt" || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

truncate -s 64M "$work/fat.img"
mkfs.vfat -n NARVI "$work/fat.img" >/dev/null
mkdir "$mnt"
if ! fusefat -o rw+ "$work/fat.img" "$mnt" >"$work/fusefat.log" 2>&1; then
    skip "fusefat refused the mount: $(tail -1 "$work/fusefat.log")"
fi
mounted=1
for _ in $(seq 50); do mountpoint -q "$mnt" && break; sleep 0.1; done
mountpoint -q "$mnt" || skip "fusefat did not mount $mnt: $(grep -v "^$" "$work/fusefat.log" | tail -1)"
touch "$mnt/case-probe"
[ -e "$mnt/CASE-PROBE" ] || { echo "casefold: $mnt tells letter case apart; no test can run there" >&2; exit 1; }
rm "$mnt/case-probe"

# The tests that take the temporary folder's kind from the folder itself; the
# variable makes those meant for a folder blind to case fail, not skip, there.
export TMPDIR=$mnt NARVI_EXPECT_CASE_BLIND=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
ran=0
for build in build/release build/asan; do
    [ -x "$root/$build/tests/kqmlib/kqmlib_tests" ] || continue
    echo "== casefold: $build on vfat (fusefat)"
    "$root/$build/tests/kqmlib/kqmlib_tests" --gtest_filter='IndexPlace*'
    "$root/$build/tests/faults/fault_tests" --gtest_filter='FaultSweep.*'

    ran=$((ran + 1))
done
[ "$ran" -gt 0 ] || { echo "casefold: no test build found; build build/release first (scripts/test.sh)" >&2; exit 1; }
echo "casefold: ran on vfat through fusefat in $ran build(s)"
