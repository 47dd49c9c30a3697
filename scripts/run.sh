#!/usr/bin/env bash
# Builds Korvex, starts the local test news server with its generated groups,
# and starts the desktop program. Its sample description file offers that
# server (127.0.0.1) and the test groups in the search dialog.
# Without a display the program runs on a virtual one (Xvfb).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/install-deps.sh
scripts/build.sh build -DKORVEX_BUILD_TESTS=ON -DKORVEX_BUILD_BENCH=OFF
scripts/inn-start.sh build
cd build/app # the sample korvex.dat stands beside the program
if [ -n "${DISPLAY:-}" ]; then
  exec ./korvex
fi
echo "run: no DISPLAY; starting korvex on a virtual display (scripts/screenshots.sh shows it)"
exec "$top/scripts/with-display.sh" ./korvex
