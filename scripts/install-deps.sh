#!/usr/bin/env bash
# Installs the Debian packages needed to build and test Korvex (run as root).
set -euo pipefail
# The desktop program needs wxWidgets; its tests run on Xvfb with openbox.
# The fuzz targets build with clang and libFuzzer; scripts/tidy.sh runs clang-tidy;
# the export tests read the files back with Python; public-inbox is the second
# news server the tests search beside INN (it installs beside inn2); socat
# listens for the third, leafnode (unpacked by scripts/leafnode-start.sh, as
# installing it would remove inn2); zlib deflates a connection (COMPRESS). The
# package test asks shared-mime-info and xdg-mime (through mimetype,
# libfile-mimeinfo-perl) what type a results file is.
packages=(build-essential dpkg-dev cmake pkg-config libgtest-dev googletest libbenchmark-dev clang-format libssl-dev openssl zlib1g-dev
  libwxgtk3.2-dev xvfb xauth x11-utils openbox fonts-dejavu-core
  librsvg2-bin lintian desktop-file-utils appstream man-db xdotool shared-mime-info xdg-utils libfile-mimeinfo-perl
  clang libfuzzer-14-dev clang-tidy python3 public-inbox socat)
packages+=("$@") # extra packages a caller needs
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
