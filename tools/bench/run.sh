#!/usr/bin/env bash
# Registers TB.dll in the build folder's Wine prefix and runs tb-bench there.
#   run.sh BUILD_DIR [PART]   (a Windows build folder: build/win32 or build/win64)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${1:-build/win32}" && pwd)
dll=$build/src/component/TB.dll
bench=$build/tools/bench/tb-bench.exe
[ -f "$dll" ] && [ -f "$bench" ] || { echo "build $build first (make win32)" >&2; exit 1; }

width=$(cmake/build-width.sh "$build")
echo "tb-bench: the $width-bit TB.dll under $width-bit Wine"

windows_path() { echo "Z:${1//\//\\}"; }
cmake/wine-run.sh "$width" "$build/wineprefix" regsvr32 /s "$(windows_path "$dll")"
cmake/wine-run.sh "$width" "$build/wineprefix" "$bench" "$(windows_path "$dll")" "${@:2}"
