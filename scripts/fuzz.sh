#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz (clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer), writes their seeds and runs each target on
# its corpus, one after another.
# Usage: scripts/fuzz.sh [--time SECONDS] [--runs N] [TARGET...]
#   --time  seconds per target (default 30); --runs  executions per target
#   instead; with both, a target stops at whichever comes first.
# The corpus grows in build-fuzz/fuzz-corpus/TARGET from run to run; the seeds
# and tests/fuzz/regressions/TARGET are read at every start. For each target the
# script prints its executions, coverage (libFuzzer's cov and ft) and findings;
# a finding's input is left in build-fuzz/fuzz-findings/TARGET and the script
# then ends with status 1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-fuzz

seconds=""
runs=""
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds=${2:?seconds}; shift 2 ;;
    --runs) runs=${2:?count}; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$top"/tests/fuzz/fuzz_*.cpp; do
    name=$(basename "$f" .cpp)
    targets+=("${name#fuzz_}")
  done
fi

cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)
CC=$cc CXX=$cxx cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_FUZZ=ON >/dev/null
build_targets=(korvex_fuzz_seeds)
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}"

seeds=$build/fuzz-seeds
rm -rf "$seeds"
"$build/tests/fuzz/korvex_fuzz_seeds" "$seeds" "${targets[@]}"

# libFuzzer reports leaks and stops at the first finding; sanitizer errors abort.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$t
  findings=$build/fuzz-findings/$t
  logs=$build/fuzz-logs
  mkdir -p "$corpus" "$findings" "$logs"
  # Responses and bodies need room: the article cut lies past 30 KB.
  case "$t" in
    transport|mime|compress) max_len=70000 ;;
    *) max_len=4096 ;;
  esac
  limit=()
  [ -n "$runs" ] && limit+=(-runs="$runs")
  [ -n "$seconds" ] && limit+=(-max_total_time="$seconds")
  [ ${#limit[@]} -eq 0 ] && limit=(-max_total_time=30)
  regressions=()
  [ -d "$top/tests/fuzz/regressions/$t" ] && regressions=("$top/tests/fuzz/regressions/$t")
  set +e
  "$build/tests/fuzz/fuzz_$t" "${limit[@]}" -max_len=$max_len -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$seeds/$t" "${regressions[@]}" >"$logs/$t.log" 2>&1
  rc=$?
  set -e
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log" | tail -1 || true)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$logs/$t.log" | tail -1 || true)
  found=$(find "$findings" -type f | wc -l)
  echo "$t: ${executions:-?} executions, ${coverage:-no coverage}, $found finding(s)"
  if [ $rc -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    echo "  see $logs/$t.log and $findings" >&2
    grep -m3 -E 'property violated|ERROR:|runtime error' "$logs/$t.log" >&2 || true
  fi
done
exit $status
