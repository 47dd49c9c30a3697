#!/usr/bin/env bash
# Runs on a display (scripts/with-display.sh): opens a results file as a file
# manager does, through the menu entry's command line with %f given the file,
# and checks that the program comes up with the file's results shown (its
# name in the main window's title); a missing file brings Load's notice.
# Usage: installed-open-file.sh DESKTOP_FILE RESULTS_FILE
set -euo pipefail
desktop=$1
file=$2
fail() {
  echo "installed-open-file: FAIL: $*" >&2
  exit 1
}
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | head -1)
[[ $exec_line == *%f* ]] || fail "the menu entry's command line takes no file: $exec_line"

tmp=$(mktemp -d)
app=
trap '[ -n "$app" ] && kill "$app" 2>/dev/null; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/config"
window() { # waits for a visible window whose title matches
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
# Starts the command line with %f replaced by the path given.
open() {
  read -r -a command <<<"${exec_line/\%f/$1}"
  (cd "$tmp" && exec env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" "${command[@]}" \
    >/dev/null 2>"$tmp/err.txt") &
  app=$!
}

open "$file"
window "^File $(basename "$file"): " || fail "no window titled after $(basename "$file")"
kill "$app"
wait "$app" 2>/dev/null || true
app=
echo "installed-open-file: $(basename "$file") opened from the command line"

open "$tmp/missing.kvx"
window '^Korvex notice$' || fail "no notice for a missing file"
window '^Korvex$' || fail "no empty main window for a missing file"
kill "$app"
wait "$app" 2>/dev/null || true
app=
echo "installed-open-file: a missing file gives the notice and an empty window"
