#!/usr/bin/env bash
# Installs everything, builds, and runs every test: unit and fake-server tests,
# the news-server integration tests, then the same again under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/install-deps.sh

echo "== build"
scripts/build.sh build
cmake --build build --target check-format

echo "== news server"
scripts/inn-start.sh build
export KORVEX_REQUIRE_INN=1

echo "== tests"
(cd build && ctest --output-on-failure -j2)

echo "== sanitizer build and tests"
scripts/build.sh build-asan -DKORVEX_SANITIZE=ON -DKORVEX_BUILD_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j2)
