#!/usr/bin/env bash
# Builds the Debian package, installs it, checks the programs and files from
# their installed places, lints the package, and removes it again (also when a
# check fails). Needs root, the local test news server (scripts/inn-start.sh)
# and Xvfb with openbox (scripts/with-display.sh).
# Usage: tests/package/test-package.sh [PACKAGE_BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
here=$top/tests/package
server=${KORVEX_NNTP_SERVER:-127.0.0.1}

say() { printf 'package-test: %s\n' "$*"; }
fail() {
  printf 'package-test: FAIL: %s\n' "$*" >&2
  exit 1
}
[ "$(id -u)" = 0 ] || fail "run as root (dpkg -i)"

deb=$("$top/scripts/package.sh" "${1:-$top/build-package}" | tail -1)
[ -f "$deb" ] || fail "no package built"
say "built $deb"

tmp=$(mktemp -d)
remove() {
  if dpkg-query -W -f='${Status}' korvex 2>/dev/null | grep -q installed; then
    dpkg --purge korvex >/dev/null || true
  fi
  rm -rf "$tmp"
}
trap remove EXIT

export DEBIAN_FRONTEND=noninteractive
if ! dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1; then
  say "dpkg -i needs dependencies; apt-get install -f"
  apt-get install -f -y -q >>"$tmp/dpkg.log" 2>&1 || {
    cat "$tmp/dpkg.log"
    fail "the package does not install"
  }
fi
dpkg-query -W -f='${Status}\n' korvex | grep -qx 'install ok installed' || fail "not installed"
say "installed: $(dpkg-query -W -f='${Package} ${Version}' korvex)"

# --- the programs and files where the package puts them
prefix=/usr
data=$prefix/share/korvex
desktop=$prefix/share/applications/org.korvex.Korvex.desktop
metainfo=$prefix/share/metainfo/org.korvex.Korvex.metainfo.xml
mime=$prefix/share/mime/packages/org.korvex.Korvex.xml
for f in $prefix/bin/korvex $prefix/bin/korvex-cli; do [ -x "$f" ] || fail "$f missing"; done
for f in "$data/korvex.dat" "$data/korvex.txt" "$desktop" "$metainfo" "$mime" \
  $prefix/share/icons/hicolor/scalable/apps/korvex.svg \
  $prefix/share/man/man1/korvex.1.gz $prefix/share/man/man1/korvex-cli.1.gz \
  $prefix/share/bash-completion/completions/korvex-cli $prefix/share/doc/korvex/copyright; do
  [ -f "$f" ] || fail "$f missing"
done
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/korvex.png
  # A PNG's width and height: big-endian 32-bit numbers at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3 * 256 + $4 "x" $7 * 256 + $8}')
  [ "$dims" = "${size}x$size" ] || fail "$png is $dims, not ${size}x$size"
done
[ "$(command -v korvex-cli)" = $prefix/bin/korvex-cli ] || fail "korvex-cli is not the installed one"

# --- korvex-cli and korvex from the installed paths
version_line='^Korvex 2\.000 \(build [0-9]+\.[0-9]+\.[0-9]+[^ ]*\)$'
for program in korvex-cli korvex; do
  v=$(env -u DISPLAY $prefix/bin/$program --version)
  [[ $v =~ $version_line ]] || fail "$program --version printed \"$v\""
  say "$program --version: $v"
done
$prefix/bin/korvex-cli --help >"$tmp/help.txt" || fail "korvex-cli --help failed"
grep -q '^usage:' "$tmp/help.txt" || fail "korvex-cli --help printed no usage"
status=0
$prefix/bin/korvex-cli search --pattern x >"$tmp/out.txt" 2>"$tmp/err.txt" || status=$?
if [ $status != 64 ] || [ -s "$tmp/out.txt" ] || ! grep -q '^usage:' "$tmp/err.txt"; then
  fail "a usage error gave status $status and no usage on stderr"
fi

(cd "$tmp" && $prefix/bin/korvex-cli search --server "$server" --group korvex.test.small \
  --pattern KERNEL --max-headers all --quiet --save found.kvx >search.txt 2>search-err.txt) ||
  fail "the search failed: $(cat "$tmp/search-err.txt")"
found=$(sed -n 's/^\([0-9]*\) articles found in korvex.test.small.*/\1/p' "$tmp/search.txt")
[ "${found:-0}" -gt 0 ] || fail "the search printed \"$(cat "$tmp/search.txt")\""
$prefix/bin/korvex-cli show "$tmp/found.kvx" >"$tmp/show.txt" || fail "show failed"
listed=$(grep -ci '^[0-9][0-9]*	.*	.*kernel' "$tmp/show.txt" || true)
[ "$listed" = "$found" ] || fail "show lists $listed kernel articles of $found"
say "korvex-cli found and showed $found articles in korvex.test.small on $server"

"$top/scripts/with-display.sh" "$here/installed-desktop.sh" "$desktop" "$data"
dpkg --verify korvex || fail "installed files changed"
left=$(find "$data" -mindepth 1 -printf '%f\n' | sort | tr '\n' ' ')
[ "$left" = "korvex.dat korvex.txt " ] || fail "files written in $data: $left"

# --- the menu entry, the metainfo, the manual pages and the completion
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
for page in korvex korvex-cli; do
  file=$(man -w $page)
  [ "$file" = $prefix/share/man/man1/$page.1.gz ] || fail "man -w $page gives $file"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $file: $warnings"
  lexgrog "$file" | grep -q "\"$page - search a Usenet newsgroup" || fail "lexgrog $file"
done
completion=$(bash -c "source $prefix/share/bash-completion/completions/korvex-cli
  COMP_WORDS=(korvex-cli search --mo); COMP_CWORD=2; _korvex_cli; echo \${COMPREPLY[*]}")
[ "$completion" = --mode ] || fail "bash completion of --mo gave \"$completion\""
say "menu entry, metainfo, manual pages and completion are valid"

# --- the results files' type: by name, and by the first line alone
grep -qx 'MimeType=application/x-korvex-results;' "$desktop" || fail "the menu entry names no results type"
grep -qx 'Exec=korvex %f' "$desktop" || fail "the menu entry does not pass the file"
cp "$tmp/found.kvx" "$tmp/found-results"
printf 'not results\n' >"$tmp/other.txt"
for sample in found.kvx found-results; do
  type=$(env -u XDG_CURRENT_DESKTOP xdg-mime query filetype "$tmp/$sample")
  [ "$type" = application/x-korvex-results ] || fail "xdg-mime gives $sample the type \"$type\""
done
type=$(env -u XDG_CURRENT_DESKTOP xdg-mime query filetype "$tmp/other.txt")
[ "$type" != application/x-korvex-results ] || fail "a text file has the results type"
say "results files have the type application/x-korvex-results"
"$top/scripts/with-display.sh" "$here/installed-open-file.sh" "$desktop" "$tmp/found.kvx"

lintian --fail-on error "$deb" ||
  fail "lintian found errors"
say "lintian: no errors"

# --- removal
dpkg --purge korvex >/dev/null
for f in $prefix/bin/korvex $prefix/bin/korvex-cli "$data" "$desktop" "$metainfo" "$mime"; do
  [ ! -e "$f" ] || fail "$f is left after removal"
done
say "removed cleanly"
