#!/usr/bin/env bash
# Prints the width (32 or 64) a configured build folder makes TB.dll for:
#   build-width.sh BUILD
set -eu
width=$(sed -n 's/^TABULON_WIDTH:INTERNAL=//p' "$1/CMakeCache.txt" 2>/dev/null || true)
case $width in
    32 | 64) echo "$width" ;;
    *) echo "build-width: $1 is not a configured Windows build folder" >&2; exit 1 ;;
esac
