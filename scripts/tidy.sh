#!/usr/bin/env bash
# Runs clang-tidy with the root .clang-tidy over the project's own .cpp files
# that BUILD_DIR/compile_commands.json names, two at a time; exits non-zero on
# any finding. Usage: scripts/tidy.sh BUILD_DIR [PATH_REGEX...]
# (PATH_REGEX narrows the files, e.g. 'storage/'.)
#
# Checked: version/, engine/, storage/, desktop/, ui/, app/, cli/, bench/ and
# tests/ (naming holds there too; gtest's TEST bodies expand to classes whose
# names the check leaves alone, as they come from the macro). Left out: what
# the build generates and every header outside the source tree (system,
# wxWidgets, OpenSSL, googletest).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?build directory}
shift
dir=$(cd "$dir" && pwd)
if [ ! -f "$dir/compile_commands.json" ]; then
    echo "tidy.sh: $dir/compile_commands.json missing (configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)" >&2
    exit 2
fi
own="^$top/(version|engine|storage|desktop|ui|app|cli|bench|tests)/"
files=("$own.*\\.cpp\$")
if [ $# -gt 0 ]; then
    files=()
    for narrow in "$@"; do files+=("^$top/$narrow"); done
fi
# run-clang-tidy prints every finding and exits 1 when any file had one.
# Compiler warnings are the build's business (gcc with -Werror): clang's own,
# which differ, stay warnings here and are not shown.
run-clang-tidy -p "$dir" -j2 -quiet -extra-arg=-Wno-error -header-filter="$own.*\\.h\$" "${files[@]}"
