#!/bin/sh
# Runs a command on a virtual X server with openbox managing its windows, so
# that windows get a frame as on a desktop.
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
# On a busy machine openbox can find the new display not yet open to it and
# quit at once: start it again until it manages the screen.
for attempt in 1 2 3 4 5; do
  openbox >/dev/null 2>&1 &
  wm=$!
  for i in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break 2
    kill -0 $wm 2>/dev/null || break
    sleep 0.1
  done
  kill $wm 2>/dev/null
done
QT_QPA_PLATFORM=xcb "$@"
rc=$?
kill $wm
exit $rc' sh "$@"
