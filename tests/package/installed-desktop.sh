#!/usr/bin/env bash
# Runs on a display (scripts/with-display.sh): starts the desktop program as
# its menu entry does, from an empty working directory with a fresh home and
# configuration directory, and checks that it finds its description and help
# files in the data directory, shows the help text, and at Quit writes its
# settings only in the user's configuration directory.
# Usage: installed-desktop.sh DESKTOP_FILE DATA_DIR
set -euo pipefail
desktop=$1
data=$2
fail() {
  echo "installed-desktop: FAIL: $*" >&2
  exit 1
}

# The menu entry's command line, without field codes such as %f.
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | head -1 | sed 's/ *%[a-zA-Z]//g')
[ -n "$exec_line" ] || fail "no Exec line in $desktop"
read -r -a command <<<"$exec_line"

tmp=$(mktemp -d)
app=
trap '[ -n "$app" ] && kill "$app" 2>/dev/null; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/work" "$tmp/home" "$tmp/config"
out=$tmp/out.txt
(cd "$tmp/work" && exec env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" \
  KORVEX_REPORT_FILES=1 "${command[@]}" >"$out" 2>"$tmp/err.txt") &
app=$!

for _ in $(seq 100); do
  grep -q '^help: ' "$out" 2>/dev/null && break
  kill -0 "$app" 2>/dev/null || fail "korvex ended at start-up: $(cat "$tmp/err.txt")"
  sleep 0.1
done
echo "installed-desktop: korvex reports:"
sed 's/^/  /' "$out"
expect_line() { grep -qxF "$1" "$out" || fail "expected \"$1\""; }
expect_line "description: $data/korvex.dat"
expect_line "help: $data/korvex.txt"
expect_line "settings: $tmp/config/korvex/korvex.ini"

window() { # waits for a visible window whose title matches; prints its id
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# Clicks a menu title of the main frame (x: File 20, Help 162) and chooses its
# n-th enabled item.
menu() {
  xdotool windowactivate --sync "$main" mousemove --window "$main" "$1" 12 click 1
  sleep 0.5
  for _ in $(seq "$2"); do xdotool key Down; done
  xdotool key Return
}

main=$(window '^Korvex$') || fail "no main window"
menu 162 1 # Help > Help: the window appears only when the help file was read
window '^Korvex Help File$' >/dev/null || fail "the help window did not appear"
echo "installed-desktop: the help window shows the help text"
menu 20 5 # File > Quit (Search, Load results, Recent results, Show search info, Quit are enabled)
for _ in $(seq 100); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app" 2>/dev/null && fail "korvex did not quit"
wait "$app" || fail "korvex ended with status $?"
app=

ini=$tmp/config/korvex/korvex.ini
for key in MAIN_X MAIN_Y MAIN_W MAIN_H MSG_X MSG_Y MSG_W MSG_H; do
  grep -q "^$key=-\?[0-9]\+$" "$ini" || fail "$ini lacks $key"
done
[ -z "$(ls -A "$tmp/work")" ] || fail "files written in the working directory: $(ls -A "$tmp/work")"
# GTK may keep caches in the home directory; a settings file must not be there.
found=$(find "$tmp" -name korvex.ini)
[ "$found" = "$ini" ] || fail "settings files: $found"
echo "installed-desktop: settings written to $ini only"
