#!/usr/bin/env bash
# Builds TB.dll at both widths and both Windows Installer packages (x86: the 32-bit
# DLL; x64: both) twice from the current commit, each time from its own copy of the
# sources into its own fresh build folders (so the paths and the times differ), and
# fails unless both builds give the same bytes. Only the TB targets are built. The
# commit, not the working tree, is built: edits made while it runs cannot tell the
# two builds apart.
#   check-reproducible.sh [KEEP]   (KEEP=1 leaves the two copies behind)
set -euo pipefail
cd "$(dirname "$0")/.."
keep=${1:-0}

commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct "$commit")}
export SOURCE_DATE_EPOCH

for n in 1 2; do
    tree=build/reproducible-$n
    rm -rf "$tree"
    mkdir -p "$tree/source"
    git archive "$commit" | tar -x -C "$tree/source"
    for width in 32 64; do
        cmake -S "$tree/source" --preset "win$width" -B "$tree/build$width" >/dev/null
        cmake --build "$tree/build$width" --target TB -j "${JOBS:-2}" >/dev/null
    done
    version=$(sed -n 's/^project(Tabulon VERSION \([0-9.]*\).*/\1/p' "$tree/source/CMakeLists.txt")
    tb32=$tree/build32/src/component/TB.dll tb64=$tree/build64/src/component/TB.dll
    "$tree/source/installer/build-msi.sh" x86 "$version" "$tree/tabulon-x86.msi" "$tb32"
    "$tree/source/installer/build-msi.sh" x64 "$version" "$tree/tabulon-x64.msi" "$tb32" "$tb64"
done

status=0
for file in build32/src/component/TB.dll build64/src/component/TB.dll tabulon-x86.msi tabulon-x64.msi; do
    first=build/reproducible-1/$file second=build/reproducible-2/$file
    sha256sum "$first" "$second"
    if cmp -s "$first" "$second"; then
        echo "$file is reproducible ($(stat -c %s "$first") bytes, commit ${commit:0:12})"
    else
        echo "$file differs between two builds of commit ${commit:0:12}:" >&2
        cmp -l "$first" "$second" | head -20 >&2 || true
        status=1
    fi
done
[ "$keep" = 1 ] || rm -rf build/reproducible-1 build/reproducible-2
exit $status
