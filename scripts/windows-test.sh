#!/usr/bin/env bash
# Cross-builds Korvex for 64-bit Windows (mingw-w64) and runs its unit and
# desktop-logic tests under Wine. Usage: scripts/windows-test.sh [BUILD_DIR]
# (default build-win). Run as root the first time: it installs the mingw-w64
# compilers and Wine (scripts/install-deps.sh).
#
# Wine's background services (wineserver and the programs wineboot starts)
# inherit the standard output of the process that starts them; ctest would wait
# for them to close it. So the server and the prefix are started here first,
# with their input and output on /dev/null, and ended on exit.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-win}
case $build in /*) ;; *) build=$top/$build ;; esac
jobs=${KORVEX_JOBS:-2}

"$top/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix wine64 wine ninja-build

start=$(date +%s)
echo "== cross build ($build)"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j"$jobs"
built=$(date +%s)
echo "cross build: $((built - start)) s"

echo "== Wine prefix"
export WINEPREFIX=${KORVEX_WINEPREFIX:-$build/wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
mkdir -p "$WINEPREFIX"
stop_wine() {
  # Only this prefix's server: other prefixes (other builds) keep theirs.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
}
trap stop_wine EXIT
# A server of this prefix left running (an earlier run) is reused.
wineserver -p </dev/null >/dev/null 2>&1 || true
wineboot -u </dev/null >/dev/null 2>&1
ready=$(date +%s)
echo "Wine prefix ready: $((ready - built)) s"

echo "== tests under Wine"
ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 120
echo "tests under Wine: $(($(date +%s) - ready)) s"
