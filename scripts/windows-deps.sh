#!/usr/bin/env bash
# Builds the libraries the Windows programs link statically, from Debian's source packages, with
# the mingw-w64 toolchain: OpenSSL 3 (korvex-cli and the desktop program) and libpng plus
# wxWidgets 3.2 (the desktop program only). Each goes into its own directory of the cache
# (${KORVEX_WIN_CACHE:-/var/cache/korvex-win}/<name>-<version>-<hash of its flags>), so a second
# run, or another checkout, reuses it at no cost. Run as root (it installs packages).
#
#   scripts/windows-deps.sh [openssl] [wx]    (default: both)
#
# The last lines printed are the prefixes, one "name=path" a line (openssl=..., wx=...).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache=${KORVEX_WIN_CACHE:-/var/cache/korvex-win}
toolchain=$top/cmake/mingw-w64-x86_64.cmake
jobs=${KORVEX_JOBS:-2}

want=("$@")
[ ${#want[@]} -gt 0 ] || want=(openssl wx)

# libz-mingw-w64-dev: zlib for wx and for the deflated news connection (static, from Debian).
"$top/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix wine64 wine libz-mingw-w64-dev ninja-build

# Source packages come from the same archive as the binary ones; only main and updates (the
# security archive's deb-src entries point at files this mirror does not carry).
src_list=/etc/apt/sources.list.d/korvex-deb-src.sources
if [ ! -f "$src_list" ]; then
  uri=$(awk '/^URIs:/ && $2 ~ /debian\/?$/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  printf 'Types: deb-src\nURIs: %s\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" >"$src_list"
  apt-get update -q
fi

# The newest version of a source package the archive offers (what "apt-get source" fetches).
src_version() {
  local v
  v=$(apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -1)
  if [ -z "$v" ]; then
    apt-get update -q >&2
    v=$(apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -1)
  fi
  [ -n "$v" ] || { echo "no source package $1" >&2; exit 1; }
  echo "$v"
}

# Short hash of everything besides the version that shapes a build: its flags, the toolchain
# file (without its comments) and the compiler.
flags_hash() {
  { printf '%s\n' "$@"; grep -v '^ *#' "$toolchain"; x86_64-w64-mingw32-gcc-posix --version | head -1; } |
    sha256sum | cut -c1-12
}

# Unpacks source package $1 (version $2) under $cache/src and prints its directory.
fetch_source() {
  local pkg=$1 version=$2 dir=$cache/src/$1-$2
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir"
    mkdir -p "$dir"
    (cd "$dir" && apt-get source -q "$pkg=$version" >&2)
    touch "$dir/.unpacked"
  fi
  find "$dir" -mindepth 1 -maxdepth 1 -type d | head -1
}

seconds() { date +%s; }

# Runs a build step with its output in $log; shows the log's end if the step fails.
logged() {
  if ! "$@" >>"$log" 2>&1; then
    tail -40 "$log" >&2
    echo "failed: $* (log: $log)" >&2
    exit 1
  fi
}

build_openssl() {
  local version flags=(mingw64 --cross-compile-prefix=x86_64-w64-mingw32- no-shared no-tests no-engine
    no-module no-dso no-autoload-config)
  version=$(src_version openssl)
  openssl_prefix=$cache/openssl-$version-$(flags_hash "${flags[@]}")
  [ -f "$openssl_prefix/.complete" ] && return
  local start src build=$cache/build/openssl-$version
  start=$(seconds)
  src=$(fetch_source openssl "$version")
  rm -rf "$build" "$openssl_prefix"
  mkdir -p "$build"
  log=$build.log
  : >"$log"
  (cd "$build" &&
    logged env CC=gcc-posix CXX=g++-posix perl "$src/Configure" "${flags[@]}" --prefix="$openssl_prefix" --libdir=lib &&
    logged nice make -j"$jobs" build_libs &&
    logged make install_dev)
  rm -rf "$build"
  touch "$openssl_prefix/.complete"
  echo "OpenSSL $version built in $(($(seconds) - start)) s" >&2
}

build_libpng() {
  local version flags=(-DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
    -DCMAKE_BUILD_TYPE=Release)
  version=$(src_version libpng1.6)
  png_prefix=$cache/libpng-$version-$(flags_hash "${flags[@]}")
  [ -f "$png_prefix/.complete" ] && return
  local start src build=$cache/build/libpng-$version
  start=$(seconds)
  src=$(fetch_source libpng1.6 "$version")
  rm -rf "$build" "$png_prefix"
  log=$build.log
  : >"$log"
  logged cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${flags[@]}" \
    -DCMAKE_INSTALL_PREFIX="$png_prefix"
  logged nice cmake --build "$build" -j"$jobs"
  logged cmake --install "$build"
  rm -rf "$build"
  touch "$png_prefix/.complete"
  echo "libpng $version built in $(($(seconds) - start)) s" >&2
}

# Only what the desktop program uses: the base and core libraries (plus regex, zlib and libpng
# under them). Everything else wx can build is switched off.
build_wx() {
  build_libpng
  local version flags=(-DCMAKE_BUILD_TYPE=Release -DwxBUILD_SHARED=OFF -DwxBUILD_SAMPLES=OFF
    -DwxBUILD_TESTS=OFF -DwxBUILD_DEMOS=OFF -DwxBUILD_BENCHMARKS=OFF -DwxBUILD_PRECOMP=ON
    -DwxUSE_LIBPNG=sys -DwxUSE_ZLIB=sys -DwxUSE_LIBJPEG=OFF -DwxUSE_LIBTIFF=OFF -DwxUSE_EXPAT=OFF
    -DwxUSE_LIBLZMA=OFF -DwxUSE_XRC=OFF -DwxUSE_HTML=OFF -DwxUSE_WXHTML_HELP=OFF -DwxUSE_WEBVIEW=OFF
    -DwxUSE_STC=OFF -DwxUSE_RICHTEXT=OFF -DwxUSE_PROPGRID=OFF -DwxUSE_RIBBON=OFF -DwxUSE_AUI=OFF
    -DwxUSE_MEDIACTRL=OFF -DwxUSE_OPENGL=OFF -DwxUSE_DEBUGREPORT=OFF -DwxUSE_WEBREQUEST=OFF)
  version=$(src_version wxwidgets3.2)
  wx_prefix=$cache/wxwidgets-$version-$(flags_hash "${flags[@]}" "$png_prefix")
  [ -f "$wx_prefix/.complete" ] && return
  local start src build=$cache/build/wxwidgets-$version
  start=$(seconds)
  src=$(fetch_source wxwidgets3.2 "$version")
  rm -rf "$build" "$wx_prefix"
  log=$build.log
  : >"$log"
  logged cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${flags[@]}" \
    -DPNG_LIBRARY="$png_prefix/lib/libpng16.a" -DPNG_PNG_INCLUDE_DIR="$png_prefix/include" \
    -DCMAKE_INSTALL_PREFIX="$wx_prefix"
  echo "wxWidgets $version: configured in $(($(seconds) - start)) s" >&2
  logged nice cmake --build "$build" -j"$jobs"
  logged cmake --install "$build"
  # libpng beside wx's own libraries, so one prefix is all the desktop build needs.
  cp "$png_prefix"/lib/libpng16.a "$wx_prefix"/lib/
  rm -rf "$build"
  touch "$wx_prefix/.complete"
  echo "wxWidgets $version built in $(($(seconds) - start)) s" >&2
}

mkdir -p "$cache/build"
# One builder at a time per cache; a second caller waits and then finds the work done.
exec 9>"$cache/.lock"
flock 9

results=()
for w in "${want[@]}"; do
  case $w in
    openssl) build_openssl && results+=("openssl=$openssl_prefix") ;;
    wx) build_wx && results+=("wx=$wx_prefix") ;;
    *) echo "unknown library: $w (openssl or wx)" >&2; exit 2 ;;
  esac
done
printf '%s\n' "${results[@]}"
