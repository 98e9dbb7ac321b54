#!/usr/bin/env bash
# The emulated machine's cached image, read back without booting it: apt's sources are
# the release's own suite alone, and packages.txt names the point release it holds.
# Skipped (77) where no image has been built.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
folder=$("$root/scripts/guest/build-image.sh" --folder)
if [ ! -f "$folder/disk.img" ] || ! command -v debugfs >/dev/null; then
    echo "skipped: no guest image in $folder"
    exit 77
fi
read_file() { debugfs -R "cat $1" "$folder/disk.img" 2>/dev/null; }
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

codename=$(read_file /usr/lib/os-release | sed -n 's/^VERSION_CODENAME=//p')
point=$(read_file /etc/debian_version)
[ -n "$codename" ] && [ -n "$point" ] || fail "the image has no /usr/lib/os-release or /etc/debian_version"
sources=$(read_file /etc/apt/sources.list | grep -v '^\s*\(#\|$\)')
[[ $sources =~ ^deb\ [^\ ]+\ $codename\ main$ ]] ||
    fail "apt's sources are not '$codename main' alone: $sources"
extra=$(debugfs -R "ls -p /etc/apt/sources.list.d" "$folder/disk.img" 2>/dev/null |
    awk -F/ '$6 != "" && $6 != "." && $6 != ".." { print $6 }')
[ -z "$extra" ] || fail "more sources in /etc/apt/sources.list.d: $extra"
head -n 1 "$folder/packages.txt" | grep -q "^# Debian $point ($codename)" ||
    fail "packages.txt does not start with the point release $point: $(head -n 1 "$folder/packages.txt")"
grep -q '^wine32:i386 ' "$folder/packages.txt" || fail "packages.txt lists no wine32:i386"

[ $failures = 0 ] && echo "ok: $folder holds Debian $point from '$codename main' alone"
exit $((failures > 0))
