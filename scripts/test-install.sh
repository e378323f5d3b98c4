#!/usr/bin/env bash
# Installs the Release build into a staging folder and uses it as a user
# would: C programs built against the installed header and library through
# pkg-config and through the CMake package, the installed Vantora started on
# a recording with its settings written where they belong; then builds the
# Debian package and checks its contents, its dependencies and an extract of
# it into a temporary root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dpkg-dev file desktop-file-utils shared-mime-info
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
chmod 700 "$XDG_RUNTIME_DIR"
build=$PWD/build/release
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
# Others (the unprivileged run below) must reach the staged files.
chmod 755 "$work"
fail() { echo "test-install: $*" >&2; exit 1; }

# The same options as scripts/test.sh, so that the two share one build.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNARVI_TESTS=ON -DNARVI_BENCH=ON \
    -DNARVI_SANITIZE=OFF -DNARVI_GUI=ON -DNARVI_FUZZ=OFF >/dev/null
cmake --build "$build" -j "${NARVI_JOBS:-$(nproc)}"
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")

# A recording with its index, written by the demo writer.
rec=$work/data/demo.kqm
"$build/examples/vantora_demo" "$rec" 60 >/dev/null
chmod -R a+rX "$work/data"

# Exactly these files are installed (relative to the prefix): no tests,
# benchmarks or demo writers.
expected_files() {
  printf '%s\n' bin/Vantora include/narvi.h "$libdir/kqmlib.so" "$libdir/pkgconfig/kqmlib.pc" \
      "$libdir/cmake/kqmlib/kqmlibConfig.cmake" "$libdir/cmake/kqmlib/kqmlibConfigVersion.cmake" \
      "$libdir/cmake/kqmlib/kqmlibTargets.cmake" "$libdir/cmake/kqmlib/kqmlibTargets-release.cmake" \
      share/applications/vantora.desktop share/mime/packages/vantora-kqm.xml \
      share/icons/hicolor/scalable/apps/vantora.svg share/doc/narvi/README.md share/doc/narvi/docs/vantora.png | sort
}
files_under() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort); }

echo "== staging install (DESTDIR)"
stage=$work/stage
DESTDIR=$stage cmake --install "$build" >/dev/null
root=$stage$prefix
diff <(expected_files) <(files_under "$root") || fail "installed files differ from the list above"
[ "$(objdump -p "$root/$libdir/kqmlib.so" | awk '$1 == "SONAME" {print $2}')" = kqmlib.so ] ||
    fail "kqmlib.so has another soname"
desktop-file-validate "$root/share/applications/vantora.desktop"

# check_clients <root>: the check program through pkg-config and through the
# CMake package, both run on the recording.
check_clients() {
  local r=$1 out=$work/clients-$RANDOM
  mkdir -p "$out"
  export PKG_CONFIG_PATH=$r/$libdir/pkgconfig
  # shellcheck disable=SC2046
  cc -std=c99 -Wall -Wextra -Werror -o "$out/check-pc" tests/install/install_check.c \
      $(pkg-config --cflags --libs kqmlib)
  echo "-- C program through pkg-config:"
  LD_LIBRARY_PATH=$(pkg-config --variable=libdir kqmlib) "$out/check-pc" "$rec" 12
  cmake -S tests/install -B "$out/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$r" >/dev/null
  cmake --build "$out/cmake" >/dev/null
  echo "-- C program through the CMake package (kqmlib::kqmlib):"
  "$out/cmake/install_check" "$rec" 12
  unset PKG_CONFIG_PATH
}
check_clients "$root"

# run_vantora <program> [runner...]: starts it on the recording, ends with /exit.
run_vantora() {
  local exe=$1 code=0
  shift
  timeout 120 "$@" "$exe" "/file=$rec" /seek=12 /exit || code=$?
  echo "-- $exe exited with $code"
  [ "$code" -eq 0 ] || fail "Vantora failed"
}
has_settings() { grep -q '^\[WAVECHART\]' "$1" && grep -q '^AxisX=TimeStamp' "$1" && echo "-- settings in $1"; }

echo "== installed Vantora, program folder writable: settings beside it"
# Nothing lies beside the program: it finds kqmlib.so in the prefix's library folder.
run_vantora "$root/bin/Vantora"
has_settings "$root/bin/Vantora.ini" || fail "no settings beside the program"
rm "$root/bin/Vantora.ini"

echo "== installed Vantora, program folder read-only: settings in \$XDG_CONFIG_HOME"
home=$work/home
mkdir -p "$home"
if [ "$(id -u)" -eq 0 ]; then
  # Root writes anywhere; a user who does not own the folder cannot.
  chown nobody "$home"
  chmod 700 "$home"
  runner=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$home" XDG_CONFIG_HOME="$home/config"
          XDG_RUNTIME_DIR="$home")
else
  chmod a-w "$root/bin"
  runner=(env HOME="$home" XDG_CONFIG_HOME="$home/config")
fi
run_vantora "$root/bin/Vantora" "${runner[@]}"
[ "$(id -u)" -eq 0 ] || chmod u+w "$root/bin"
[ ! -e "$root/bin/Vantora.ini" ] || fail "settings written beside a read-only program"
has_settings "$home/config/Vantora.ini" || fail "no settings in \$XDG_CONFIG_HOME"

echo "== Debian package"
rm -f "$build"/narvi_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/narvi_*.deb)
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends Installed-Size
deps=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
for d in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6; do
  grep -qx "$d" <<<"$deps" || fail "Depends lacks $d"
done
ls -l "$deb"
extract=$work/extract
dpkg-deb -x "$deb" "$extract"
diff <(expected_files) <(files_under "$extract/usr") || fail "package files differ from the list above"
[ -z "$(find "$extract" -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "package installs outside /usr"
update-mime-database "$extract/usr/share/mime" >/dev/null 2>&1
grep -q 'application/x-kqm:\*\.kqm' "$extract/usr/share/mime/globs2" || fail "no MIME type for .kqm"
echo "== the package's files, extracted"
check_clients "$extract/usr"
run_vantora "$extract/usr/bin/Vantora"
has_settings "$extract/usr/bin/Vantora.ini" || fail "no settings beside the extracted program"
echo "test-install: all checks passed ($(basename "$deb"))"
