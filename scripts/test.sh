#!/usr/bin/env bash
# Installs everything, builds, and runs every test: unit and fake-server tests,
# the news-server integration tests (plain, TLS, STARTTLS and logins), the same
# searches on INN, public-inbox and leafnode, and the desktop program's GUI tests (on
# Xvfb), then the same again under AddressSanitizer and
# UndefinedBehaviorSanitizer, every fuzz target for a short while (libFuzzer,
# scripts/fuzz.sh), and the search worker's tests under ThreadSanitizer.
# Between them, the Debian package is built, installed, tested from its
# installed paths and removed again (tests/package/test-package.sh). Last, the
# Windows build: cross-built with mingw-w64, its tests run under Wine, and
# korvex-cli.exe's results from the news server compared with the Linux build's.
#
# After the build, clang-tidy checks the project's own sources
# (scripts/tidy.sh: naming, and a few bugprone and performance checks); a
# finding fails the run.
#
# scripts/test.sh --quick is the tier for every change: dependencies, the one
# build (no sanitizers), the news server, then the unit, fake-server,
# command-line, desktop-logic, news-server and window tests (ctest without the
# package and fuzz labels); no clang-tidy, package, fuzzing, sanitizer or
# Windows stages. Measured on a 2-core machine shared with other builds: 43 s
# with the build up to date and the news server running (tests 33 s); 24 s
# more when INN still has to be installed and loaded. From nothing the build is nearly
# all of it: 7.5 min of CPU, so about 4-5 min on two free cores (31 min while
# five other builds shared them).
#
# Every stage prints "== NAME" as it starts and "-- NAME: N s" when it ends
# (also when it fails), and the run ends with its total.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

quick=0
case "${1:-}" in
--quick) quick=1 ;;
"") ;;
*)
    echo "usage: scripts/test.sh [--quick]" >&2
    exit 64
    ;;
esac

run_started=$SECONDS
stage_name=""
stage_started=0
stage_end() {
    if [ -n "$stage_name" ]; then
        echo "-- $stage_name: $((SECONDS - stage_started)) s${1:-}"
    fi
    stage_name=""
}
# stage NAME [WHAT]: ends the stage before, starts NAME.
stage() {
    stage_end
    stage_name=$1
    stage_started=$SECONDS
    echo "== $1${2:+: $2}"
}
on_exit() {
    local status=$?
    if [ "$status" -ne 0 ]; then
        stage_end " (failed)"
        echo "-- total: $((SECONDS - run_started)) s (failed, exit status $status)"
    else
        stage_end
        echo "-- total: $((SECONDS - run_started)) s"
    fi
}
trap on_exit EXIT

stage "dependencies"
scripts/install-deps.sh

stage "build"
scripts/build.sh build
cmake --build build --target check-format

if [ "$quick" = 0 ]; then
    stage "clang-tidy"
    scripts/tidy.sh build
fi

stage "news server"
scripts/inn-start.sh build
# Reader daemons with TLS, STARTTLS and logins on further loopback ports;
# "scripts/inn-tls.sh stop" ends them (by their PIDs).
scripts/inn-tls.sh start
export KORVEX_REQUIRE_INN=1
# public-inbox's NNTP server on 127.0.0.1:10119 serving the articles of
# korvex.test.mixed, for the searches that compare two servers (label
# servers); "scripts/public-inbox-stop.sh" ends it (by its PID).
scripts/public-inbox-start.sh build
export KORVEX_PI_SERVER=127.0.0.1:${KORVEX_PI_PORT:-10119}
export KORVEX_REQUIRE_PUBLIC_INBOX=1
# leafnode, unpacked (never installed: it would remove inn2) and filled from
# INN by fetchnews, behind socat on 127.0.0.1:10120; "scripts/leafnode-stop.sh"
# ends the listener.
scripts/leafnode-start.sh build
export KORVEX_LEAF_SERVER=127.0.0.1:${KORVEX_LEAF_PORT:-10120}
export KORVEX_REQUIRE_LEAFNODE=1

if [ "$quick" = 1 ]; then
    # Everything but the package's documents (package) and the fuzz targets'
    # replays (fuzz); the windows' tests take some 15 s, so they stay.
    stage "tests" "unit, fake server, command line, desktop logic, news server, windows"
    scripts/with-display.sh bash -c "cd build && ctest --output-on-failure -j2 -LE '^(package|fuzz)\$'"
    exit 0
fi

stage "tests"
scripts/with-display.sh bash -c 'cd build && ctest --output-on-failure -j2'

stage "Debian package" "build, install, test as installed, lint, remove"
bash tests/package/test-package.sh build-package

stage "AddressSanitizer and UndefinedBehaviorSanitizer" "build and tests"
scripts/build.sh build-asan -DKORVEX_SANITIZE=ON -DKORVEX_BUILD_BENCH=OFF
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$top/tests/gui/lsan.supp:print_suppressions=0
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
scripts/with-display.sh bash -c 'cd build-asan && ctest --output-on-failure -j2'

stage "Fuzzing" "every fuzz target for 30 seconds on top of its seeds and regression inputs"
scripts/fuzz.sh --time 30

stage "ThreadSanitizer" "the search worker in the desktop program"
scripts/build.sh build-tsan -DKORVEX_TSAN=ON -DKORVEX_BUILD_BENCH=OFF -DKORVEX_BUILD_CLI=OFF
export TSAN_OPTIONS=suppressions=$top/tests/gui/tsan.supp:halt_on_error=1
scripts/with-display.sh bash -c 'cd build-tsan && ctest --output-on-failure -L gui'

stage "Windows" "cross build, tests under Wine, results compared with the Linux build"
# The static OpenSSL and wxWidgets are built once per machine from Debian's
# sources and cached in /var/cache/korvex-win (cold, on 2 cores: about 3 min
# and 12-20 min; cached: nothing). Measured on a busy 2-core machine with the
# libraries cached: the cross build from scratch 6-8 min; under Wine the 116
# unit, fake-server and command-line tests about 1.5 min, the 13 news-server
# tests 2.5 min (most of it one test's searches one command at a time), the 51
# window tests on the virtual display 1.5 min; the four results comparisons
# and the OPENSSL_CONF check a few seconds: 426 s in all with the libraries
# cached and the cross build up to date.
# ctest's --timeout bounds each test, the timeout below the whole stage.
KORVEX_LINUX_CLI=$top/build/cli/korvex-cli timeout 3600 scripts/windows-test.sh build-win
