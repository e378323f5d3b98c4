#!/usr/bin/env bash
# show-viewer.sh <build folder> [Vantora arguments...]
# Starts the built Vantora on the demo recording (or with the given arguments).
# With a display it runs until closed; without one it runs under xvfb-run,
# saves a screenshot of the window to <build folder>/vantora-screenshot.png,
# prints the path and ends.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
demo=$build/demo/demo.kqm
# Written again when its writer is newer: an old demo may lack what a new one has.
if [ ! -f "$demo" ] || [ ! -f "${demo%.kqm}.idx" ] || [ "$build/examples/vantora_demo" -nt "$demo" ]; then
  "$build/examples/vantora_demo" "$demo" >/dev/null
fi
args=("$@")
if [ ${#args[@]} -eq 0 ]; then
  args=("/file=$demo" "/seek=12")
fi
vantora=$build/bin/Vantora
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$vantora" "${args[@]}"
fi

shot=$build/vantora-screenshot.png
rm -f "$shot"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
xvfb-run -a -s "-screen 0 1280x900x24" bash -s "$vantora" "$shot" "${args[@]}" <<'INNER'
vantora=$1; shot=$2; shift 2
"$vantora" "$@" &
pid=$!
# The window is up once the toolkit maps it; give the switches time to run.
for _ in $(seq 50); do
  xwininfo -name "Vantora 0.9.7" >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 2
id=$(xwininfo -name "Vantora 0.9.7" 2>/dev/null | awk '/Window id:/ {print $4}')
if [ -n "$id" ]; then
  import -window "$id" "$shot"
else
  import -window root "$shot"
fi
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
if [ ! -s "$shot" ]; then
  echo "no screenshot taken" >&2
  exit 1
fi
echo "$shot"
