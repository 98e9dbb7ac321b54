#!/usr/bin/env bash
# Builds TB.dll twice from the current commit, each time from its own copy of the
# sources into its own fresh build folder (so the paths differ), and fails unless
# both files are byte for byte the same. Only the TB target is built. The commit,
# not the working tree, is built: edits made while it runs cannot tell the two
# builds apart.
#   check-reproducible.sh [KEEP]   (KEEP=1 leaves the two copies behind)
set -euo pipefail
cd "$(dirname "$0")/.."
keep=${1:-0}

commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct "$commit")}
export SOURCE_DATE_EPOCH

dlls=()
for n in 1 2; do
    tree=build/reproducible-$n
    rm -rf "$tree"
    mkdir -p "$tree/source"
    git archive "$commit" | tar -x -C "$tree/source"
    cmake -S "$tree/source" --preset win32 -B "$tree/build" >/dev/null
    cmake --build "$tree/build" --target TB -j "${JOBS:-2}" >/dev/null
    dlls+=("$tree/build/src/component/TB.dll")
done

sha256sum "${dlls[@]}"
if cmp -s "${dlls[0]}" "${dlls[1]}"; then
    echo "TB.dll is reproducible ($(stat -c %s "${dlls[0]}") bytes, commit ${commit:0:12})"
    status=0
else
    echo "TB.dll differs between two builds of commit ${commit:0:12}:" >&2
    cmp -l "${dlls[0]}" "${dlls[1]}" | head -20 >&2 || true
    status=1
fi
[ "$keep" = 1 ] || rm -rf build/reproducible-1 build/reproducible-2
exit $status
