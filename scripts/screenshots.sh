#!/usr/bin/env bash
# Starts the desktop program on a virtual display and saves screenshots of its
# windows as PNG files in docs/screenshots (or the directory given).
# Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build}")
out=$(realpath -m "${2:-$top/docs/screenshots}")

if [ "${KORVEX_ON_XVFB:-}" != 1 ]; then
  "$top/scripts/install-deps.sh" xdotool imagemagick
  [ -x "$build/app/korvex" ] || "$top/scripts/build.sh" "$build"
  exec "$top/scripts/with-display.sh" "$0" "$build" "$out"
fi

mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "$app" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$top/app/korvex.dat" "$work/" # the sample lists, read from the working directory
cd "$work"
"$build/app/korvex" &
app=$!

window() { # waits for a window with exactly this title; prints its id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  return 1
}
shot() { sleep 0.5; import -frame -window "$1" "$out/$2"; echo "saved $out/$2"; }

main=$(window Korvex)
shot "$main" main-frame.png
xdotool mousemove --window "$main" 20 12 click 1 # File
sleep 0.5
xdotool key Down Return # its first item, Search
dialog=$(window "Search parameters")
shot "$dialog" search-dialog.png

# With the local test news server running, press OK and show how the search ends.
if (exec 3<>/dev/tcp/127.0.0.1/119) 2>/dev/null; then
  xdotool windowactivate --sync "$dialog" key Return
  sleep 3
  shot "$main" main-frame-searched.png
fi
