#!/usr/bin/env bash
# The Windows test suites, one a width, each under Wine of its own width, then one line
# that says which ran and how:
#   test-windows.sh            (after `make win32 win64`)
# The 64-bit suite always runs. The 32-bit one runs where this machine runs 32-bit
# programs (cmake/wine-probe.sh asks the kernel, not the package list); elsewhere only
# its static checks of TB.dll run (exports, imports, XP floor, size), and the line
# says why the rest did not. TABULON_NO_32BIT=1 takes that path anywhere.
set -uo pipefail
cd "$(dirname "$0")/.."

status=0
report=()
# suite WIDTH [CTEST ARGS...]: runs one preset's tests; sets $counted to their count
# and time.
counted=
suite() {
    local width=$1 log start
    shift
    log=$(mktemp)
    start=$SECONDS
    ctest --preset "win$width" "$@" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    counted=$(sed -n 's/.*tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\)/\2 tests, \1 failed/p' "$log")
    counted="${counted:-no tests}, $((SECONDS - start)) s"
    rm -f "$log"
}

if why=$(cmake/wine-probe.sh 64); then
    suite 64
    report+=("64-bit suite ran natively ($counted)")
else
    report+=("64-bit suite did not run: $why")
    status=1
fi

if why=$(cmake/wine-probe.sh 32); then
    suite 32
    report+=("32-bit suite ran natively ($counted)")
else
    suite 32 -L static
    report+=("32-bit suite skipped: $why; only its static checks ran ($counted)")
fi

line="Windows suites: ${report[0]}"
for part in "${report[@]:1}"; do line+="; $part"; done
echo "$line"
exit $status
