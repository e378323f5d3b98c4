#!/usr/bin/env bash
# Cross builds of the reader library and their tests:
#   build/i386   32-bit Linux (g++ -m32); every test runs natively.
#   build/win32  Windows i686 (mingw-w64); every test runs under the 32-bit
#                wine (wine32 of the i386 architecture), in its own prefix.
#   build/win64  Windows x86_64 (mingw-w64); every test runs under wine64,
#                among them the binding tests, which load kqmlib.dll with
#                LoadLibraryA and drive open, info, reindex, seek and read on
#                generated recordings.
# Both DLLs must export exactly the fifteen narvi_* names of include/narvi.h
# and import nothing but KERNEL32 and msvcrt.
#
# The i386 and win32 tests need a kernel that runs 32-bit x86 programs. Where
# it does not (some virtual machines answer "Exec format error"), both are
# still built and checked, but the script fails, saying so, unless
# NARVI_SKIP_32BIT_RUNS=1 accepts that their tests do not run here.
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
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 wine32:i386
jobs=${JOBS:-$(nproc)}
root=$PWD

# Debian's wine packages put the loaders (wine, wine64) and wineserver64 here, not in PATH.
export PATH=/usr/lib/wine:$PATH
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
prefixes=()
stop_wine() {
    for p in "${prefixes[@]}"; do
        WINEPREFIX=$p wineserver64 -k >/dev/null 2>&1 || true
    done
}
trap stop_wine EXIT

# Runs the tests of a Windows build under wine: loader, prefix architecture.
# A persistent server keeps each test from paying wine's start-up; the
# timeout lets it go away by itself should the trap not run.
wine_tests() { # dir loader arch
    export WINEPREFIX=$root/$1/wineprefix WINEARCH=$3
    mkdir -p "$WINEPREFIX"
    prefixes+=("$WINEPREFIX")
    wineserver64 -p 30 </dev/null >/dev/null 2>&1
    "$2" wineboot -i </dev/null >/dev/null 2>&1
    ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 60 --no-tests=error
}

# Whether this kernel runs 32-bit x86 programs at all.
mkdir -p build
printf 'int main(void) { return 0; }\n' | gcc -m32 -x c - -o build/probe32
runs32=1
build/probe32 2>/dev/null || runs32=0
not_run=()

configure() { # dir toolchain
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=ON -DNARVI_BENCH=OFF \
        -DNARVI_SANITIZE=OFF -DNARVI_GUI=OFF -DNARVI_FUZZ=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" >/dev/null
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
configure build/i386 toolchain-linux-i386.cmake
cmake --build build/i386 -j "$jobs"
if ((runs32)); then
    ctest --test-dir build/i386 -j "$jobs" --output-on-failure --timeout 120 --no-tests=error
else
    not_run+=(i386)
fi

echo "== win32 (i686)"
configure build/win32 toolchain-mingw-i686.cmake
cmake --build build/win32 -j "$jobs"
check_dll i686-w64-mingw32-objdump build/win32/src/kqmlib/kqmlib.dll
if ((runs32)); then
    wine_tests build/win32 wine win32
else
    not_run+=(win32)
fi

echo "== win64 (x86_64)"
configure build/win64 toolchain-mingw-x86_64.cmake
cmake --build build/win64 -j "$jobs"
check_dll x86_64-w64-mingw32-objdump build/win64/src/kqmlib/kqmlib.dll
wine_tests build/win64 wine64 win64

if ((${#not_run[@]})); then
    echo "NOT RUN: the tests of ${not_run[*]}: this kernel runs no 32-bit programs ($( (build/probe32 2>&1 || true) | sed "s/.*: //"))"
    [ "${NARVI_SKIP_32BIT_RUNS:-0}" = 1 ] || exit 1
fi
