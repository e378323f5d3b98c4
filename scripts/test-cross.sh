#!/usr/bin/env bash
# Cross builds of the reader library and their tests:
#   build/i386   32-bit Linux (g++ -m32); every test runs natively.
#   build/win64  Windows x86_64 (mingw-w64); every test runs under wine,
#                among them the binding tests, which load kqmlib.dll with
#                LoadLibraryA and drive open, info, reindex, seek and read on
#                generated recordings.
#   build/win32  Windows i686 (mingw-w64); built and checked only, since
#                running it would need a 32-bit wine (the i386 architecture).
# Both DLLs must export exactly the fifteen narvi_* names of include/narvi.h
# and import nothing but KERNEL32 and msvcrt.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh g++-multilib g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64
jobs=$(nproc)
root=$PWD

# Debian's wine64 package installs wine64 and wineserver64 here, not in PATH.
export PATH=/usr/lib/wine:$PATH
export WINEPREFIX=$root/build/win64/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_started=0
stop_wine() {
    if ((wine_started)); then
        wineserver64 -k >/dev/null 2>&1 || true
    fi
}
trap stop_wine EXIT

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
ctest --test-dir build/i386 -j "$jobs" --output-on-failure --timeout 120 --no-tests=error

echo "== win32 (i686)"
configure build/win32 toolchain-mingw-i686.cmake
cmake --build build/win32 -j "$jobs" --target kqmlib binding_tests
check_dll i686-w64-mingw32-objdump build/win32/src/kqmlib/kqmlib.dll

echo "== win64 (x86_64)"
configure build/win64 toolchain-mingw-x86_64.cmake
cmake --build build/win64 -j "$jobs"
check_dll x86_64-w64-mingw32-objdump build/win64/src/kqmlib/kqmlib.dll
mkdir -p "$WINEPREFIX"
wine_started=1
# A persistent server keeps each test from paying wine's start-up; the
# timeout lets it go away by itself should the trap not run.
wineserver64 -p 30 </dev/null >/dev/null 2>&1
wine64 wineboot -i </dev/null >/dev/null 2>&1
ctest --test-dir build/win64 -j "$jobs" --output-on-failure --timeout 60 --no-tests=error
