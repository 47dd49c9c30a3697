#!/usr/bin/env bash
# Checks that the manual page and the bash completion of korvex-cli know every
# option its usage names, and that the version and usage answers of both
# programs are as documented, without a display.
# Usage: check-docs.sh KORVEX_CLI KORVEX_OR_EMPTY MAN_PAGE_SOURCE COMPLETION
set -uo pipefail
cli=$1
gui=$2
manpage=$3
completion=$4
failures=0
fail() {
  echo "check-docs: FAIL: $*" >&2
  failures=$((failures + 1))
}

usage=$("$cli" --help) || fail "korvex-cli --help exited with $?"
options=$(grep -o -- '--[a-z][a-z-]*' <<<"$usage" | sort -u)
[ "$(wc -l <<<"$options")" -ge 10 ] || fail "too few options in the usage: $options"
# In the manual page's source a minus sign is written \-.
man_text=$(sed 's/\\-/-/g' "$manpage")
for option in $options; do
  grep -q -- "$option\b" <<<"$man_text" || fail "the manual page lacks $option"
  grep -q -- "$option\b" "$completion" || fail "the completion lacks $option"
done

version_line='^Korvex 2\.000 \(build [0-9]+\.[0-9]+\.[0-9]+[^ ]*\)$'
for program in "$cli" $gui; do
  for arg in --version -V; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" $arg 2>&1)
    status=$?
    [ $status = 0 ] || fail "$program $arg exited with $status"
    [[ $out =~ $version_line ]] || fail "$program $arg printed \"$out\""
  done
done
if [ -n "$gui" ]; then
  if out=$(env -u DISPLAY "$gui" --help 2>/dev/null); then
    [[ $out == "usage: korvex "* ]] || fail "korvex --help printed \"$out\""
  else
    fail "korvex --help failed"
  fi
  # One results file is an argument the program takes (it opens a window);
  # two are a usage error, as is anything else.
  for args in "--bogus" "--version extra" "one.kvx two.kvx"; do
    read -r -a words <<<"$args"
    err=$(env -u DISPLAY "$gui" "${words[@]}" 2>&1 >/dev/null)
    status=$?
    [ $status = 64 ] || fail "korvex $args exited with $status"
    [[ $err == *"usage: korvex"* ]] || fail "korvex $args wrote \"$err\" on stderr"
  done
fi
[ $failures = 0 ] && echo "check-docs: all options documented and answered"
exit $((failures > 0))
