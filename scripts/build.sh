#!/usr/bin/env bash
# Configures and builds Korvex. Usage: scripts/build.sh BUILD_DIR [extra cmake args...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?build directory}
shift
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
