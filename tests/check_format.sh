#!/usr/bin/env bash
# Every C++ source of the project is laid out as .clang-format says.
set -eu
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests tools fuzz -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files
echo "$(wc -w <<<"$files") files formatted"
