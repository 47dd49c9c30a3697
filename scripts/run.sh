#!/usr/bin/env bash
# Builds Korvex, starts the local test news server with its generated groups,
# and starts the desktop program. Its sample description file offers that
# server (127.0.0.1) and the test groups in the search dialog.
# Without a display there is no window to show: korvex-cli runs the demo
# search against the local server instead and prints what it found.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/install-deps.sh
scripts/build.sh build -DKORVEX_BUILD_TESTS=ON -DKORVEX_BUILD_BENCH=OFF
scripts/inn-start.sh build

if [ -n "${DISPLAY:-}" ]; then
  cd build/app # the sample korvex.dat stands beside the program
  exec ./korvex
fi

echo "run: no DISPLAY, so no desktop program; the demo search with korvex-cli instead:"
echo "run: korvex-cli search --server 127.0.0.1 --group korvex.test.small --pattern \"kernel panic\""
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
build/cli/korvex-cli search --server 127.0.0.1 --group korvex.test.small \
  --pattern "kernel panic" --mode any --max-headers all --quiet --save "$out/demo.kvx"
echo
echo "run: the articles found (number, author, subject):"
build/cli/korvex-cli show "$out/demo.kvx"
echo
echo "run: pictures of the desktop program are in $top/docs/screenshots:"
for picture in "$top"/docs/screenshots/*.png; do echo "  $picture"; done
echo "run: scripts/screenshots.sh takes them again on a virtual display."
