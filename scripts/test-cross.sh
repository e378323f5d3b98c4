#!/usr/bin/env bash
# Cross builds of the reader library and every test of each:
#   build/i386   32-bit Linux (g++ -m32): natively where the kernel runs 32-bit
#                x86 programs, otherwise each test through qemu-i386.
#   build/win32  Windows i686 under the 32-bit wine (wine32 of the i386
#                architecture), natively; on a kernel without 32-bit programs
#                under qemu-i386 (every 32-bit program wine starts must go
#                through it too), or NOT RUN, with the reason, where wine does
#                not come up that way.
#   build/win64  Windows x86_64 under wine64, among them the binding tests,
#                which load kqmlib.dll with LoadLibraryA and drive open, info,
#                reindex, seek and read on generated recordings.
# Both DLLs must export exactly the fifteen narvi_* names of include/narvi.h
# and import nothing but KERNEL32 and msvcrt.
#
# NARVI_EMULATE_32BIT=1 takes the emulator's way even on a kernel that runs
# 32-bit programs, so that the way other machines take can be checked here.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
# The 32-bit wine comes from the i386 architecture; install-deps.sh refreshes
# the package lists when it finds wine32 missing.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
scripts/install-deps.sh g++-multilib g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64
# wine32 needs the i386 lists to match the amd64 ones; while a mirror is in the
# middle of a sync it cannot be installed, and only the win32 step is lost.
wine32_missing=
mkdir -p build
if ! scripts/install-deps.sh wine32:i386 >build/wine32-install.log 2>&1; then
    wine32_missing=$(grep -v '^[[:space:]]*$' build/wine32-install.log | tail -1)
    echo "wine32 could not be installed: $wine32_missing"
fi
jobs=${JOBS:-$(nproc)}
root=$PWD
summary=()

# Tests that rely on what qemu-user does not emulate, each with the reason.
emulator_skips=(
    "InterfaceFloat.TrapsAreMaskedInsideEveryCall|needs the x87 exception masks, which qemu-i386 does not emulate"
)

# Debian's wine packages put the loaders (wine, wine64) and wineserver64 here, not in PATH.
export PATH=/usr/lib/wine:$PATH
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
prefixes=()
binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/narvi-i386
unregister_qemu() {
    if [ -e "$handler" ]; then echo -1 | "${sudo_cmd[@]}" tee "$handler" >/dev/null || true; fi
}
cleanup() {
    for p in "${prefixes[@]}"; do
        WINEPREFIX=$p wineserver64 -k >/dev/null 2>&1 || true
    done
    unregister_qemu
}
trap cleanup EXIT
# A handler an interrupted run left behind would make the probe below pass.
cleanup

# Runs ctest and keeps its closing count for the summary: dir label [ctest options...]
run_ctest() {
    local dir=$1 label=$2 log
    shift 2
    log=$(mktemp)
    local rc=0
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --no-tests=error "$@" 2>&1 | tee "$log" || rc=$?
    summary+=("$label: $(grep -E 'tests passed, [0-9]+ tests failed' "$log" | tail -1)")
    rm -f "$log"
    return "$rc"
}

# Starts a wine prefix: dir loader arch. A persistent server keeps each test
# from paying wine's start-up; its timeout lets it go away by itself should
# the trap not run.
wine_prefix() {
    export WINEPREFIX=$root/$1/wineprefix WINEARCH=$3
    mkdir -p "$WINEPREFIX"
    prefixes+=("$WINEPREFIX")
    # A server still up for the prefix, or a prefix update that complains,
    # is no reason to stop: the tests tell whether wine works.
    wineserver64 -p 30 </dev/null >/dev/null 2>&1 || echo "wineserver for $1 exited with $?"
    timeout 300 "$2" wineboot -i </dev/null >/dev/null 2>&1 || echo "wineboot for $1 exited with $?"
}

# Whether this kernel runs 32-bit x86 programs at all.
printf 'int main(void) { return 0; }\n' | gcc -m32 -x c - -o build/probe32
native32=1
why32=
if [ "${NARVI_EMULATE_32BIT:-0}" = 1 ]; then
    native32=0
    why32="NARVI_EMULATE_32BIT=1"
elif ! why32=$(build/probe32 2>&1); then
    native32=0
    why32="this kernel runs no 32-bit programs: ${why32##*: }"
fi
if ((!native32)); then
    echo "32-bit programs run through qemu-i386 ($why32)"
    scripts/install-deps.sh qemu-user
fi

# Sends every 32-bit x86 program the kernel starts through qemu-i386, as wine
# needs for the processes it starts itself; undone by the trap.
register_qemu() {
    if [ ! -e "$binfmt/register" ]; then
        "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || return 1
    fi
    printf '%s' ':narvi-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:' |
        "${sudo_cmd[@]}" tee "$binfmt/register" >/dev/null 2>&1
}

configure() { # dir toolchain [cmake options...]
    local dir=$1 toolchain=$2
    shift 2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=ON -DNARVI_BENCH=OFF \
        -DNARVI_SANITIZE=OFF -DNARVI_GUI=OFF -DNARVI_FUZZ=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "$@" >/dev/null
}

check_dll() { # objdump dll
    local objdump=$1 dll=$2 expected actual imports
    expected=$(grep -o 'narvi_[a-z_]*(' include/narvi.h | tr -d '(' | sort -u)
    actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
    if [ "$expected" != "$actual" ]; then
        echo "FAIL: $dll exports differ from include/narvi.h (< expected, > exported):"
        diff <(echo "$expected") <(echo "$actual") || true
        return 1
    fi
    imports=$("$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -f | tr '\n' ' ')
    if [ "$imports" != "KERNEL32.dll msvcrt.dll " ]; then
        echo "FAIL: $dll imports $imports(only KERNEL32.dll and msvcrt.dll expected)"
        return 1
    fi
    echo "$dll: $(echo "$actual" | wc -l) exports, imports $imports"
}

echo "== i386"
if ((native32)); then
    configure build/i386 toolchain-linux-i386.cmake -DNARVI_I386_EMULATOR=
    cmake --build build/i386 -j "$jobs"
    run_ctest build/i386 "i386 (native)" --timeout 120
else
    configure build/i386 toolchain-linux-i386.cmake -DNARVI_I386_EMULATOR=/usr/bin/qemu-i386
    cmake --build build/i386 -j "$jobs"
    skip_re=
    for s in "${emulator_skips[@]}"; do
        echo "SKIPPED under qemu-i386: ${s%%|*}: ${s#*|}"
        skip_re+="${skip_re:+|}${s%%|*}"
    done
    run_ctest build/i386 "i386 (qemu-i386, ${#emulator_skips[@]} skipped)" --timeout 300 \
        -E "^(${skip_re//./\\.})\$"
fi

echo "== win32 (i686)"
configure build/win32 toolchain-mingw-i686.cmake
cmake --build build/win32 -j "$jobs"
check_dll i686-w64-mingw32-objdump build/win32/src/kqmlib/kqmlib.dll
if [ -n "$wine32_missing" ]; then
    summary+=("win32: NOT RUN: wine32 could not be installed ($wine32_missing)")
elif ((native32)); then
    wine_prefix build/win32 wine win32
    run_ctest build/win32 "win32 (wine32)" --timeout 60
elif ! register_qemu; then
    summary+=("win32: NOT RUN: wine32 needs every 32-bit program it starts to go through qemu-i386, and binfmt_misc could not be set up here")
else
    # wine32 under the emulator must come up in bounded time before any test
    # is tried; the prefix it brought up then serves the tests.
    prefixes+=("$root/build/win32/wineprefix")
    if (
        wine_prefix build/win32 wine win32 >/dev/null
        WINEDEBUG=err+all timeout 300 wine build/win32/tests/runtime/runtime_tests.exe --gtest_list_tests \
            </dev/null >/dev/null 2>build/win32/qemu-probe.log
    ); then
        export WINEPREFIX=$root/build/win32/wineprefix WINEARCH=win32
        run_ctest build/win32 "win32 (wine32 through qemu-i386)" --timeout 600
    else
        why=$(grep -v '^[[:space:]]*$' build/win32/qemu-probe.log | tail -1 || true)
        summary+=("win32: NOT RUN: wine32 does not start under qemu-i386 here (${why:-no answer within 300 s})")
    fi
fi
# wine64 starts 32-bit helpers of its own, which must not meet the emulator.
cleanup
prefixes=()

echo "== win64 (x86_64)"
configure build/win64 toolchain-mingw-x86_64.cmake
cmake --build build/win64 -j "$jobs"
check_dll x86_64-w64-mingw32-objdump build/win64/src/kqmlib/kqmlib.dll
wine_prefix build/win64 wine64 win64
run_ctest build/win64 "win64 (wine64)" --timeout 60

echo "== cross summary"
printf '%s\n' "${summary[@]}"
