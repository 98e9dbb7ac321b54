#!/usr/bin/env bash
# Installs the Debian packages the build and tests need. Safe to run again:
# it does nothing when everything is already there.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine32:i386 libwine-dev
  cmake make g++ googletest libgtest-dev
  binutils-mingw-w64-i686
  clang libclang-rt-14-dev clang-format
  unzip zip
  wixl msitools faketime
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}; run as root: sudo $0" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
