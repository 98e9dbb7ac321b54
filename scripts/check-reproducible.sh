#!/usr/bin/env bash
# Builds TB.dll twice, in two fresh build folders with different paths, and fails
# unless both files are byte for byte the same. Only the TB target is built.
#   check-reproducible.sh [KEEP]   (KEEP=1 leaves the two build folders behind)
set -euo pipefail
cd "$(dirname "$0")/.."
keep=${1:-0}

SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
export SOURCE_DATE_EPOCH

dlls=()
for n in 1 2; do
    dir=build/reproducible-$n
    rm -rf "$dir"
    cmake --preset win32 -B "$dir" >/dev/null
    cmake --build "$dir" --target TB -j "${JOBS:-2}" >/dev/null
    dlls+=("$dir/src/component/TB.dll")
done

sha256sum "${dlls[@]}"
if cmp -s "${dlls[0]}" "${dlls[1]}"; then
    echo "TB.dll is reproducible ($(stat -c %s "${dlls[0]}") bytes)"
    status=0
else
    echo "TB.dll differs between two builds of the same source:" >&2
    cmp -l "${dlls[0]}" "${dlls[1]}" | head -20 >&2 || true
    status=1
fi
[ "$keep" = 1 ] || rm -rf build/reproducible-1 build/reproducible-2
exit $status
