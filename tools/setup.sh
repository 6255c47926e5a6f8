#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the viewer.
set -euo pipefail
pkgs=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
      mingw-w64-tools googletest wine64 wine xvfb x11-apps imagemagick libimage-exiftool-perl
      libz-mingw-w64-dev nasm dpkg-dev python3 x11-utils librsvg2-bin fonts-dejavu-core
      fonts-wqy-microhei webp)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
