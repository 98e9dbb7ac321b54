#!/usr/bin/env bash
# Builds dist/tabulon-<version>.zip from the current commit: the 32-bit TB.dll at the
# top (the one the host loads), the 64-bit one as x64/TB.dll, the install guide, the
# licence and SHA256SUMS; and beside it the Windows Installer packages of the same
# DLLs, dist/tabulon-<version>-x86.msi (32-bit Windows) and -x64.msi (64-bit Windows,
# both DLLs). The same commit gives the same bytes: TB.dll builds reproducibly at both
# widths, every file in the zip has the commit's time, fixed modes and sorted names,
# and the packages are built on a clock stopped at that time. Uncommitted edits are
# left out.
set -euo pipefail
cd "$(dirname "$0")/.."

commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct "$commit")}
export SOURCE_DATE_EPOCH TZ=UTC

build=build/dist
source=$build/source
rm -rf "$source"
mkdir -p "$source"
git archive "$commit" | tar -x -C "$source"
version=$(sed -n 's/^project(Tabulon VERSION \([0-9]*\.[0-9]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
# Windows Installer compares three numbers.
product_version=$(sed -n 's/^project(Tabulon VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$source/CMakeLists.txt")

# TB.dll of each width; only its sub-build is built.
for width in 32 64; do
    cmake -S "$source" --preset "win$width" -B "$build/build$width" >/dev/null
    cmake --build "$build/build$width" --target TB -j "${JOBS:-2}" >/dev/null
done

name=tabulon-$version
stage=$build/stage/$name
rm -rf "$build/stage"
mkdir -p "$stage/x64" dist
cp "$build/build32/src/component/TB.dll" "$stage/TB.dll"
cp "$build/build64/src/component/TB.dll" "$stage/x64/TB.dll"
# Text files for Windows users: CR LF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$source/docs/INSTALL.txt" >"$stage/INSTALL.txt"
sed -e 's/$/\r/' "$source/LICENSE" >"$stage/LICENSE.txt"
(cd "$stage" && sha256sum INSTALL.txt LICENSE.txt TB.dll x64/TB.dll >SHA256SUMS)

find "$build/stage" -type f -exec chmod 644 {} +
find "$build/stage" -type d -exec chmod 755 {} +
find "$build/stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

zip_file=$PWD/dist/$name.zip
rm -f "$zip_file"
(cd "$build/stage" && find "$name" -type f | LC_ALL=C sort | zip -X -D -q "$zip_file" -@)
touch -d "@$SOURCE_DATE_EPOCH" "$zip_file"

# The single package of earlier versions' layout would only confuse.
rm -f "dist/$name.msi"
msi_x86=$PWD/dist/$name-x86.msi msi_x64=$PWD/dist/$name-x64.msi
"$source/installer/build-msi.sh" x86 "$product_version" "$msi_x86" "$stage/TB.dll"
"$source/installer/build-msi.sh" x64 "$product_version" "$msi_x64" "$stage/TB.dll" "$stage/x64/TB.dll"
touch -d "@$SOURCE_DATE_EPOCH" "$msi_x86" "$msi_x64"

echo "$zip_file"
unzip -l "$zip_file" | tail -n +2
for msi in "$msi_x86" "$msi_x64"; do echo "$msi ($(stat -c %s "$msi") bytes)"; done
sha256sum "$zip_file" "$msi_x86" "$msi_x64"
