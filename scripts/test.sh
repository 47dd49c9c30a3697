#!/usr/bin/env bash
# Installs everything, builds, and runs every test: unit and fake-server tests,
# the news-server integration tests (plain, TLS, STARTTLS and logins) and the desktop program's GUI tests (on
# Xvfb), then the same again under AddressSanitizer and
# UndefinedBehaviorSanitizer, every fuzz target for a short while (libFuzzer,
# scripts/fuzz.sh), and the search worker's tests under ThreadSanitizer.
# Between them, the Debian package is built, installed, tested from its
# installed paths and removed again (tests/package/test-package.sh). Last, the
# Windows build: cross-built with mingw-w64, its tests run under Wine, and
# korvex-cli.exe's results from the news server compared with the Linux build's.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/install-deps.sh

echo "== build"
scripts/build.sh build
cmake --build build --target check-format

echo "== news server"
scripts/inn-start.sh build
# Reader daemons with TLS, STARTTLS and logins on further loopback ports;
# "scripts/inn-tls.sh stop" ends them (by their PIDs).
scripts/inn-tls.sh start
export KORVEX_REQUIRE_INN=1

echo "== tests"
scripts/with-display.sh bash -c 'cd build && ctest --output-on-failure -j2'

echo "== Debian package: build, install, test as installed, lint, remove"
bash tests/package/test-package.sh build-package

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
scripts/build.sh build-asan -DKORVEX_SANITIZE=ON -DKORVEX_BUILD_BENCH=OFF
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$top/tests/gui/lsan.supp:print_suppressions=0
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
scripts/with-display.sh bash -c 'cd build-asan && ctest --output-on-failure -j2'

echo "== Fuzzing: every fuzz target for 30 seconds on top of its seeds and regression inputs"
scripts/fuzz.sh --time 30

echo "== ThreadSanitizer: the search worker in the desktop program"
scripts/build.sh build-tsan -DKORVEX_TSAN=ON -DKORVEX_BUILD_BENCH=OFF -DKORVEX_BUILD_CLI=OFF
export TSAN_OPTIONS=suppressions=$top/tests/gui/tsan.supp:halt_on_error=1
scripts/with-display.sh bash -c 'cd build-tsan && ctest --output-on-failure -L gui'

echo "== Windows: cross build, tests under Wine, results compared with the Linux build"
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
