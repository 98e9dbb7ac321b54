#!/usr/bin/env bash
# Builds TB.dll at both widths and both Windows Installer packages (x86: the 32-bit
# DLL; x64: both) twice from the current commit, in different folders and at
# different times, and fails unless both builds give the same bytes. Only the TB
# targets are built. The commit, not the working tree, is built: edits made while it
# runs cannot tell the two builds apart.
# - The first build is the regular build folders' (build/win32, build/win64), brought
#   up to date, when the working tree is the commit (a clean checkout, as CI has): the
#   DLLs that the tests ran are the ones checked. Otherwise it is a fresh copy too.
# - The second is always a copy of the commit's sources in fresh build folders.
#   check-reproducible.sh [KEEP]   (KEEP=1 leaves the copies behind)
set -euo pipefail
cd "$(dirname "$0")/.."
keep=${1:-0}

commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct "$commit")}
export SOURCE_DATE_EPOCH

# The regular build folders stand for the first build only when they build the commit.
reuse=0
if [ -z "$(git status --porcelain --untracked-files=no)" ] &&
    [ -f build/win32/CMakeCache.txt ] && [ -f build/win64/CMakeCache.txt ]; then
    reuse=1
fi
version=$(git show "$commit:CMakeLists.txt" | sed -n 's/^project(Tabulon VERSION \([0-9.]*\).*/\1/p')
for n in 1 2; do
    tree=build/reproducible-$n
    rm -rf "$tree"
    mkdir -p "$tree"
    if [ $n = 1 ] && [ $reuse = 1 ]; then
        for width in 32 64; do
            cmake --build "build/win$width" --target TB -j "${JOBS:-2}" >/dev/null
            mkdir -p "$tree/build$width/src/component"
            cp "build/win$width/src/component/TB.dll" "$tree/build$width/src/component/"
        done
        installer=installer
        echo "first build: build/win32 and build/win64 (the working tree is commit ${commit:0:12})"
    else
        mkdir -p "$tree/source"
        git archive "$commit" | tar -x -C "$tree/source"
        for width in 32 64; do
            cmake -S "$tree/source" --preset "win$width" -B "$tree/build$width" >/dev/null
            cmake --build "$tree/build$width" --target TB -j "${JOBS:-2}" >/dev/null
        done
        installer=$tree/source/installer
    fi
    tb32=$tree/build32/src/component/TB.dll tb64=$tree/build64/src/component/TB.dll
    "$installer/build-msi.sh" x86 "$version" "$tree/tabulon-x86.msi" "$tb32"
    "$installer/build-msi.sh" x64 "$version" "$tree/tabulon-x64.msi" "$tb32" "$tb64"
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
