#!/usr/bin/env bash
# Builds the Windows zip korvex-windows-x86_64.zip in one command: the static
# OpenSSL from Debian's source (scripts/windows-deps.sh, cached after the first
# run), a release cross build of korvex-cli.exe with mingw-w64 in BUILD_DIR, and
# the zip with the program, the sample description file korvex.dat, the help
# text korvex.txt and a short README. The desktop program korvex.exe is not in
# it yet: its cross build is not done. Prints the zip's path as its last line.
# Usage: scripts/windows-package.sh [BUILD_DIR]   (default: build-win-package)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$top/build-win-package}")
jobs=${KORVEX_JOBS:-2}

"$top/scripts/install-deps.sh" zip
openssl=$("$top/scripts/windows-deps.sh" openssl | sed -n 's/^openssl=//p')
[ -n "$openssl" ] || { echo "windows-package: no OpenSSL prefix" >&2; exit 1; }

cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DOPENSSL_ROOT_DIR="$openssl" \
  -DKORVEX_BUILD_TESTS=OFF -DKORVEX_BUILD_BENCH=OFF -DKORVEX_BUILD_GUI=OFF >/dev/null
cmake --build "$dir" --target korvex-cli -j"$jobs" >/dev/null

version=$(sed -n 's/^project(korvex VERSION \([0-9.]*\).*/\1/Ip' "$top/CMakeLists.txt" | head -1)
stage=$dir/zip/korvex
rm -rf "$dir/zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/korvex-cli.exe" "$dir/cli/korvex-cli.exe"
# Windows editors want CRLF line ends; the programs read either.
for file in korvex.dat korvex.txt; do
  sed 's/\r*$/\r/' "$top/app/$file" >"$stage/$file"
done
sed 's/\r*$/\r/' >"$stage/README.txt" <<TEXT
Korvex ${version:-} for 64-bit Windows

korvex-cli.exe searches one newsgroup on one news server for articles whose
header matches a pattern, and saves them (.kvx), reports them or lists them.
Run "korvex-cli.exe --help" in a console for its options. Secure servers
(nntps://HOST, or STARTTLS) are checked against the certificates Windows
trusts; --cafile FILE.pem adds one of your own.

korvex.dat is the sample description file (patterns, servers and newsgroups)
and korvex.txt the help text; the desktop program korvex.exe that uses them is
not part of this build yet.

Settings are kept in %APPDATA%\\Korvex; logins may come from
%USERPROFILE%\\_netrc (or .netrc).

Built with mingw-w64 and tested under Wine; see the project's README for what
still wants a check on a real Windows machine.
TEXT
zip_path=$top/korvex-windows-x86_64.zip
rm -f "$zip_path"
(cd "$dir/zip" && zip -q -X -r "$zip_path" korvex)
echo "$zip_path"
