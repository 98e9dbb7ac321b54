#!/usr/bin/env bash
# TB.dll stays below its size budget. The C++ runtime is linked in, so one stray
# std::string or std::to_string can bring back 100 KB of library code unnoticed.
set -eu
dll=$1
budget=$2
size=$(stat -c %s "$dll")
echo "TB.dll: $size bytes (budget $budget)"
[ "$size" -lt "$budget" ]
