#!/usr/bin/env bash
# Installs the Debian packages the build and tests need. Safe to run again:
# it does nothing, and asks for no rights, when everything is already there.
set -euo pipefail

# The same names on Debian 12 and 13. wine32 is installed where the kernel cannot
# run it too: whether it runs is asked of the machine (cmake/wine-probe.sh).
packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  mingw-w64-tools
  wine wine32:i386 wine64 libwine-dev
  cmake make g++ googletest libgtest-dev libgmock-dev
  clang libclang-rt-dev clang-format
  unzip zip
  wixl msitools faketime gcab
)

# Other scripts name their own packages: scripts/install-deps.sh PACKAGE...
[ $# -eq 0 ] || packages=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Root is needed only from here on.
as_root=(env DEBIAN_FRONTEND=noninteractive)
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "missing packages: ${missing[*]}; run as root: $0" >&2
    exit 1
  fi
  as_root=(sudo "${as_root[@]}")
fi

install() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386 || return
  fi
  "${as_root[@]}" apt-get update || return
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# apt's hundreds of progress lines go to a log, shown only when something fails.
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$root/build"
log=$root/build/install-deps.log
echo "Installing ${missing[*]} (apt's output: build/install-deps.log)"
if ! install >"$log" 2>&1; then
  cat "$log" >&2
  echo "installing ${missing[*]} failed; apt's output above is in $log" >&2
  exit 1
fi
