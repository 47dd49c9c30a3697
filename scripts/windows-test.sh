#!/usr/bin/env bash
# Cross-builds Korvex for 64-bit Windows (mingw-w64) and runs its unit,
# fake-server and desktop-logic tests under Wine, then the news-server tests
# (label inn: plain, TLS, STARTTLS and logins) against the local INN server and
# the daemons of scripts/inn-tls.sh on Linux loopback (without a server they are
# skipped, with KORVEX_REQUIRE_INN=1 they fail), then the desktop program's
# window tests under Wine on a virtual display (Xvfb). With KORVEX_REQUIRE_INN=1 it
# then searches the local news server (plain, and over TLS when the daemons of
# scripts/inn-tls.sh run) with korvex-cli.exe and with the Linux korvex-cli
# ($KORVEX_LINUX_CLI, default build/cli/korvex-cli) and requires the two results
# files to be the same byte for byte apart from the search's date line.
# Usage: scripts/windows-test.sh [BUILD_DIR] (default build-win). Run as root the
# first time: it installs the mingw-w64 compilers and Wine
# (scripts/install-deps.sh) and builds the static OpenSSL and wxWidgets
# (scripts/windows-deps.sh, cached in /var/cache/korvex-win).
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

"$top/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix wine64 wine ninja-build librsvg2-bin

start=$(date +%s)
prefixes=$("$top/scripts/windows-deps.sh" openssl wx)
openssl=$(sed -n 's/^openssl=//p' <<<"$prefixes")
wx=$(sed -n 's/^wx=//p' <<<"$prefixes")
deps=$(date +%s)
echo "libraries (cached after the first run): $((deps - start)) s"
echo "== cross build ($build)"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DOPENSSL_ROOT_DIR="$openssl" \
  -DKORVEX_BUILD_GUI=ON -DwxWidgets_DIR="$wx/lib/cmake/wxWidgets" >/dev/null
cmake --build "$build" -j"$jobs"
built=$(date +%s)
echo "cross build: $((built - deps)) s"

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

# The test CA and certificates of scripts/inn-tls.sh, named as Windows programs
# see them (Wine shows the Linux root as drive Z:).
tls_dir=${KORVEX_TLS_DIR:-/tmp/korvex-inn-tls}
case $tls_dir in /*) ;; *) tls_dir=$PWD/$tls_dir ;; esac
win_tls_dir='Z:'"${tls_dir//\//\\}"

echo "== tests under Wine"
KORVEX_TLS_DIR=$win_tls_dir ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 120 \
  -LE 'inn|gui'
tested=$(date +%s)
echo "tests under Wine: $((tested - ready)) s"

echo "== news-server tests under Wine (the local INN server and its TLS daemons)"
KORVEX_TLS_DIR=$win_tls_dir ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 300 -L inn
served=$(date +%s)
echo "news-server tests under Wine: $((served - tested)) s"

# The window tests want an X display, and Wine's desktop process takes the
# display of the program that starts it: this prefix's server is ended and
# started again on the virtual display, for the window tests alone.
echo "== window tests under Wine on a virtual display"
stop_wine
KORVEX_TLS_DIR=$win_tls_dir "$top/scripts/with-display.sh" bash -c 'wineserver -p </dev/null >/dev/null 2>&1
  wineboot -u </dev/null >/dev/null 2>&1
  status=0
  ctest --test-dir "$1" --output-on-failure -j1 --timeout 120 -L gui || status=$?
  wineserver -k </dev/null >/dev/null 2>&1; wineserver -w </dev/null >/dev/null 2>&1
  exit $status' gui-tests "$build"
echo "window tests under Wine: $(($(date +%s) - served)) s"

[ "${KORVEX_REQUIRE_INN:-0}" = 1 ] || exit 0
echo "== korvex-cli.exe against the local news server, compared with the Linux build"
linux_cli=${KORVEX_LINUX_CLI:-$top/build/cli/korvex-cli}
[ -x "$linux_cli" ] || { echo "no Linux korvex-cli at $linux_cli" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"; stop_wine' EXIT
servers=("127.0.0.1")
[ -f "$tls_dir/ca.pem" ] && servers+=("nntps://127.0.0.1:$((563 + ${KORVEX_TLS_PORT_OFFSET:-0}))")
for server in "${servers[@]}"; do
  for search in "korvex.test.mixed Re Subject" "korvex.test.small e From"; do
    read -r group pattern header <<<"$search"
    args=(search --server "$server" --group "$group" --pattern "$pattern" --header "$header" --quiet)
    linux_ca=() windows_ca=()
    [ "$server" = 127.0.0.1 ] || linux_ca=(--cafile "$tls_dir/ca.pem") windows_ca=(--cafile "$win_tls_dir\\ca.pem")
    "$linux_cli" "${args[@]}" "${linux_ca[@]}" --save "$work/linux.kvx" >/dev/null
    (cd "$work" && wine "$build/cli/korvex-cli.exe" "${args[@]}" "${windows_ca[@]}" --save windows.kvx \
      </dev/null >/dev/null)
    # The sixth line is the date the search was made.
    if ! cmp -s <(sed 6d "$work/linux.kvx") <(sed 6d "$work/windows.kvx") ||
      [ "$(wc -l <"$work/linux.kvx")" -lt 7 ]; then
      echo "results differ: $server $search" >&2
      exit 1
    fi
    echo "same results: $server $group $header~$pattern ($(wc -c <"$work/windows.kvx") bytes)"
  done
done
# An OpenSSL configuration named in the environment (or planted where the build
# machine's paths point) is never read: this one would allow no TLS version the
# program accepts.
printf 'openssl_conf = planted\n[planted]\nssl_conf = ssl\n[ssl]\nsystem_default = sys\n[sys]\nMaxProtocol = TLSv1.1\n' \
  >"$work/openssl.cnf"
if [ -f "$tls_dir/ca.pem" ]; then
  (cd "$work" && OPENSSL_CONF='Z:'"${work//\//\\}"'\openssl.cnf' wine "$build/cli/korvex-cli.exe" search \
    --server "nntps://127.0.0.1:$((563 + ${KORVEX_TLS_PORT_OFFSET:-0}))" --cafile "$win_tls_dir\\ca.pem" \
    --group korvex.test.small --pattern e --quiet </dev/null >/dev/null) ||
    { echo "korvex-cli.exe read the OpenSSL configuration named in OPENSSL_CONF" >&2; exit 1; }
  echo "OPENSSL_CONF ignored"
fi
echo "windows stage: $(($(date +%s) - start)) s"
