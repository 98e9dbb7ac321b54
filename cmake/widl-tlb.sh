#!/usr/bin/env bash
# Makes a type library with widl and takes out its run time, so that two builds of the
# same sources give the same bytes:
#   widl-tlb.sh OUTPUT WIDL [ARGS...] IDL      (runs WIDL ARGS -t -o OUTPUT IDL)
# widl stamps its run time into the library twice, as text and as a VT_UI4 custom
# value right after it; both get fixed values.
set -eu
output=$1
shift
"${@:1:$#-1}" -t -o "$output" "${@: -1}"
perl -0777 -pi -e 's/(Created by WIDL version [0-9.]+ at ).{24}(\n?W*\x13\x00).{4}/${1}Thu Jan  1 00:00:00 1970${2}\x00\x00\x00\x00/s' \
    "$output"
