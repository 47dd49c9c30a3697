#!/usr/bin/env bash
# Builds the Windows zip korvex-windows-x86_64.zip in one command: the static
# OpenSSL and wxWidgets from Debian's sources (scripts/windows-deps.sh, cached
# after the first run), a release cross build of korvex.exe and korvex-cli.exe
# with mingw-w64 in BUILD_DIR, and the zip with both programs, the sample
# description file korvex.dat, the help text korvex.txt and a short README.
# Prints the zip's path as its last line.
# Usage: scripts/windows-package.sh [BUILD_DIR]   (default: build-win-package)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$top/build-win-package}")
jobs=${KORVEX_JOBS:-2}

"$top/scripts/install-deps.sh" zip
"$top/scripts/install-deps.sh" librsvg2-bin # the icon's pictures
prefixes=$("$top/scripts/windows-deps.sh" openssl wx)
openssl=$(sed -n 's/^openssl=//p' <<<"$prefixes")
wx=$(sed -n 's/^wx=//p' <<<"$prefixes")
[ -n "$openssl" ] && [ -n "$wx" ] || { echo "windows-package: no OpenSSL or wxWidgets prefix" >&2; exit 1; }

cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DOPENSSL_ROOT_DIR="$openssl" \
  -DwxWidgets_DIR="$wx/lib/cmake/wxWidgets" \
  -DKORVEX_BUILD_TESTS=OFF -DKORVEX_BUILD_BENCH=OFF -DKORVEX_BUILD_GUI=ON >/dev/null
cmake --build "$dir" --target korvex korvex-cli -j"$jobs" >/dev/null

version=$(sed -n 's/^project(korvex VERSION \([0-9.]*\).*/\1/Ip' "$top/CMakeLists.txt" | head -1)
stage=$dir/zip/korvex
rm -rf "$dir/zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/korvex.exe" "$dir/app/korvex.exe"
x86_64-w64-mingw32-strip -o "$stage/korvex-cli.exe" "$dir/cli/korvex-cli.exe"
# Windows editors want CRLF line ends; the programs read either.
for file in korvex.dat korvex.txt; do
  sed 's/\r*$/\r/' "$top/app/$file" >"$stage/$file"
done
sed 's/\r*$/\r/' >"$stage/README.txt" <<TEXT
Korvex ${version:-} for 64-bit Windows

korvex.exe searches one newsgroup on one news server for articles whose
header matches a pattern, downloads them and lets you read, prune, save (.kvx),
load and export them. korvex.txt is its help text (Help > Contents) and
korvex.dat the sample description file that fills the search dialog's lists
of patterns, servers and newsgroups; keep both beside korvex.exe.

korvex-cli.exe does the same from a console: run "korvex-cli.exe --help" for
its options.

Secure servers (nntps://HOST, or STARTTLS) are checked against the
certificates Windows trusts; --cafile FILE.pem (CA_FILE in korvex.dat) adds
one of your own.

Settings are kept in %APPDATA%\\Korvex; logins may come from
%USERPROFILE%\\_netrc (or .netrc).

Built with mingw-w64 and tested under Wine; see the project's README for what
still wants a check on a real Windows machine.
TEXT
zip_path=$top/korvex-windows-x86_64.zip
rm -f "$zip_path"
(cd "$dir/zip" && zip -q -X -r "$zip_path" korvex)
echo "$zip_path"
