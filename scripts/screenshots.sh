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
# Window sizes for the results: a long list, article windows cascading from the
# top-left corner. The main frame is moved out of their way once shown, as a
# user would (the window manager chooses where new windows first appear).
printf 'MAIN_W=520\nMAIN_H=420\nMSG_X=0\nMSG_Y=0\nMSG_W=640\nMSG_H=480\n' >"$work/korvex.ini"
cd "$work"
"$build/app/korvex" &
app=$!

window() { # waits for a window whose title matches this pattern; prints its id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  return 1
}
shot() { sleep 0.5; import -frame -window "$1" "$out/$2"; echo "saved $out/$2"; }
# Opens a menu of the main frame by a click on its title (x: File 20, Article 110,
# Help 162) and chooses its n-th enabled item (the keys pass over disabled ones).
menu() {
  xdotool windowactivate --sync "$main" mousemove --window "$main" "$1" 12 click 1
  sleep 0.5
  for _ in $(seq "$2"); do xdotool key Down; done
  xdotool key Return
}

main=$(window '^Korvex$')
shot "$main" main-frame.png
menu 20 1 # File > Search
dialog=$(window '^Search parameters$')
shot "$dialog" search-dialog.png

# With the local test news server running, press OK and show how the search ends.
if (exec 3<>/dev/tcp/127.0.0.1/119) 2>/dev/null; then
  xdotool windowactivate --sync "$dialog" key Return
  sleep 3
  shot "$main" main-frame-searched.png

  # The results: the list with two article windows showing different articles.
  menu 20 1 # File > Display results
  window '^Results for: ' >/dev/null
  sleep 1
  xdotool windowmove "$main" 700 0
  menu 110 4 # Article > New article window
  sleep 1
  xdotool windowactivate --sync "$main" key Down Down # the third entry, into the newer window
  sleep 1
  shot root results.png

  menu 20 3 # File > Show search info (after Save results and Export results)
  notice=$(window '^Korvex notice$')
  shot "$notice" search-info.png
  xdotool windowactivate --sync "$notice" key Return
fi

cp "$top/app/korvex.txt" "$work/"
menu 162 1 # Help > Help
help=$(window '^Korvex Help File$')
shot "$help" help-window.png
