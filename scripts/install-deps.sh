#!/usr/bin/env bash
# Installs the Debian packages the build and tests need. Safe to run again: it does
# nothing, and asks for no rights, when everything is already there.
#   install-deps.sh              what make needs
#   install-deps.sh PACKAGE...   those packages (other scripts name their own)
#   install-deps.sh --print      what this machine needs and why; installs nothing
# apt's output goes to build/install-deps.log. A package index that fails to download
# (the archive part-way through an update) is fetched again a few times, and then the
# install is tried all the same: the index may not matter for what is missing.
#   TABULON_NO_32BIT=1             take the path of a machine that runs no 32-bit programs
#   TABULON_PROBE_32BIT=PROGRAM    the 32-bit probe's stand-in, for tests (cmake/runs-32bit.sh)
#   TABULON_APT_GET=PROGRAM        apt-get's stand-in, for tests (run without sudo)
#   TABULON_APT_RETRY_SECONDS=N    the wait before fetching the indexes again (20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The same names on Debian 12 and 13.
packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  mingw-w64-tools
  wine wine64 libwine-dev
  cmake make g++ googletest libgtest-dev libgmock-dev
  clang libclang-rt-dev clang-format
  unzip zip
  wixl msitools faketime gcab
)

print=0
if [ "${1:-}" = --print ]; then
  print=1
  shift
fi
if [ $# -gt 0 ]; then
  packages=("$@")
  runs32=
elif runs32=$("$root/cmake/runs-32bit.sh"); then
  # 32-bit Wine, for the host's own width, only where it can run: some kernels run no
  # 32-bit code at all, and there no i386 package is any use.
  packages+=(wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ $print = 1 ]; then
  [ -z "$runs32" ] || echo "32-bit programs: $runs32"
  echo "packages: ${packages[*]}"
  echo "missing: ${missing[*]:-none}"
  exit 0
fi
[ ${#missing[@]} -eq 0 ] && exit 0

apt_get=(${TABULON_APT_GET:-apt-get})
retry_seconds=${TABULON_APT_RETRY_SECONDS:-20}
attempts=3
# Root is needed only from here on.
as_root=(env DEBIAN_FRONTEND=noninteractive)
if [ "$(id -u)" -ne 0 ] && [ -z "${TABULON_APT_GET:-}" ]; then
  if ! command -v sudo >/dev/null; then
    echo "missing packages: ${missing[*]}; run as root: $0" >&2
    exit 1
  fi
  as_root=(sudo "${as_root[@]}")
fi

mkdir -p "$root/build"
log=$root/build/install-deps.log
: >"$log"
# failed_indexes LOG: the address of each index that apt could not fetch, one a line.
failed_indexes() { sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$1" | sort -u; }

# apt-get update, again while an index fails to download; the last attempt's failed
# indexes are in $failed.
failed=
update() {
  local attempt attempt_log rc
  attempt_log=$(mktemp)
  for ((attempt = 1; ; attempt++)); do
    rc=0
    "${as_root[@]}" "${apt_get[@]}" update >"$attempt_log" 2>&1 || rc=$?
    cat "$attempt_log" >>"$log"
    failed=$(failed_indexes "$attempt_log")
    if [ -z "$failed" ]; then
      rm -f "$attempt_log"
      return $rc
    fi
    [ "$attempt" -lt "$attempts" ] || break
    echo "An index did not download ($(head -n 1 <<<"$failed")); trying again in $retry_seconds s" >&2
    sleep "$retry_seconds"
  done
  rm -f "$attempt_log"
}

echo "Installing ${missing[*]} (apt's output: build/install-deps.log)"
if [[ " ${missing[*]} " == *:i386\ * ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386 >>"$log" 2>&1
fi
update_rc=0
update || update_rc=$?
if "${as_root[@]}" "${apt_get[@]}" install -y --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
  exit 0
fi
if [ -n "$failed" ]; then
  count=$(wc -l <<<"$failed")
  echo "Installing failed: the package index $(head -n 1 <<<"$failed")$([ "$count" -lt 2 ] ||
    echo " and $((count - 1)) more") did not download $attempts times running. The package" \
    "archive is probably part-way through an update: try again later." >&2
else
  reason=$(grep '^E: ' "$log" | tail -n 1)
  [ "$update_rc" = 0 ] || reason="apt-get update failed (exit $update_rc)${reason:+; $reason}"
  echo "Installing failed: ${reason:-apt-get install failed}" >&2
fi
echo "apt's whole output: $log" >&2
exit 1
