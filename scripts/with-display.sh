#!/usr/bin/env bash
# Runs a command on a virtual X display (Xvfb) with the openbox window manager,
# so the desktop program's windows can be driven without a screen.
# Usage: scripts/with-display.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${KORVEX_ON_XVFB:-}" != 1 ]; then
  exec env KORVEX_ON_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
for _ in $(seq 50); do # until openbox has taken the screen
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
"$@"
