#!/usr/bin/env bash
# Builds Korvex, starts the local test news server with its generated groups,
# and runs a search against it from the command line.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/install-deps.sh
scripts/build.sh build -DKORVEX_BUILD_TESTS=ON -DKORVEX_BUILD_BENCH=OFF
scripts/inn-start.sh build
mkdir -p out
build/cli/korvex-cli search --server 127.0.0.1 --group korvex.test.small --pattern "${1:-kernel panic}" \
  --save out/demo.kvx --report out/demo.txt
build/cli/korvex-cli show out/demo.kvx
