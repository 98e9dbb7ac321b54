#!/usr/bin/env bash
# TB.dll stays below its size budget. Its C++ runtime is linked in, so one library
# call that reaches the standard exception classes can bring back 100 KB unnoticed.
set -eu
dll=$1
budget=$2
size=$(stat -c %s "$dll")
echo "TB.dll: $size bytes (budget $budget)"
[ "$size" -lt "$budget" ]
