#!/usr/bin/env bash
# Builds the Debian package korvex_VERSION_ARCH.deb in one command: a release
# build of the two programs for /usr (no tests, no benchmarks) in BUILD_DIR,
# then `cpack -G DEB`, whose dependencies come from dpkg-shlibdeps.
# Prints the package's path as its last line.
# Usage: scripts/package.sh [BUILD_DIR]   (default: build-package)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$top/build-package}")

if [ "$(id -u)" = 0 ]; then
  "$top/scripts/install-deps.sh"
fi
for tool in dpkg-shlibdeps rsvg-convert gzip; do
  command -v "$tool" >/dev/null || {
    echo "package: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  }
done

# Debian's compiler and linker flags, with every hardening feature.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DKORVEX_BUILD_TESTS=OFF -DKORVEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/korvex_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/korvex_*.deb)
echo "package: built $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends
echo "$deb"
