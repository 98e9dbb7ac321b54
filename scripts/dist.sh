#!/usr/bin/env bash
# Builds dist/tabulon-<version>.zip from the current commit: TB.dll, the install
# guide, the licence and SHA256SUMS; and beside it dist/tabulon-<version>.msi, the
# Windows Installer package of the same TB.dll. The same commit gives the same
# bytes: TB.dll builds reproducibly, every file in the zip has the commit's time,
# fixed modes and sorted names, and the package is built on a clock stopped at
# that time. Uncommitted edits are left out.
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

cmake -S "$source" --preset win32 -B "$build/build" >/dev/null
cmake --build "$build/build" --target TB -j "${JOBS:-2}" >/dev/null

name=tabulon-$version
stage=$build/stage/$name
rm -rf "$build/stage"
mkdir -p "$stage" dist
cp "$build/build/src/component/TB.dll" "$stage/TB.dll"
# Text files for Windows users: CR LF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$source/docs/INSTALL.txt" >"$stage/INSTALL.txt"
sed -e 's/$/\r/' "$source/LICENSE" >"$stage/LICENSE.txt"
(cd "$stage" && sha256sum INSTALL.txt LICENSE.txt TB.dll >SHA256SUMS)

chmod 644 "$stage"/*
chmod 755 "$stage"
find "$build/stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

zip_file=$PWD/dist/$name.zip
rm -f "$zip_file"
(cd "$build/stage" && find "$name" -type f | LC_ALL=C sort | zip -X -D -q "$zip_file" -@)
touch -d "@$SOURCE_DATE_EPOCH" "$zip_file"

msi_file=$PWD/dist/$name.msi
"$source/installer/build-msi.sh" "$stage/TB.dll" "$product_version" "$msi_file"
touch -d "@$SOURCE_DATE_EPOCH" "$msi_file"

echo "$zip_file"
unzip -l "$zip_file" | tail -n +2
echo "$msi_file ($(stat -c %s "$msi_file") bytes)"
sha256sum "$zip_file" "$msi_file"
