#!/usr/bin/env bash
# Runs the script tests in a prefix of their own, where the Shell class is the
# stand-in (testshell.dll) and TB.dll is registered:
#   run_script_test.sh WIDTH PREFIX TB.dll testshell.dll SCENARIO SCRIPT...
# Wine's script host prints nothing and exits 0 on an uncaught script error, so
# each script ends by echoing "checks: N failed: M" and the run counts only a
# script that got that far. A VBScript test runs after script_checks.vbs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
width=$1 prefix=$2 tb=$3 testshell=$4 scenario=$5
shift 5

windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }

run() { "$root/cmake/wine-run.sh" "$width" "$prefix" "$@"; }
run
"$root/tools/testshell/install-in-prefix.sh" "$width" "$prefix" "$testshell"
run regsvr32 /s "$(windows_path "$tb")"

export TABULON_TEST_SHELL
TABULON_TEST_SHELL=$(windows_path "$scenario")
status=0
for script in "$@"; do
    if [[ $script == *.vbs ]]; then
        mkdir -p "$prefix/scripts"
        cat "$root/tests/support/script_checks.vbs" "$script" >"$prefix/scripts/${script##*/}"
        script=$prefix/scripts/${script##*/}
    fi
    out=$(run cscript //nologo "$(windows_path "$script")" 2>&1 | tr -d '\r')
    echo "== $(basename "$script")"
    echo "$out"
    summary=$(grep -E '^checks: [0-9]+ failed: [0-9]+$' <<<"$out" | tail -n 1)
    if [ -z "$summary" ]; then
        echo "$(basename "$script") did not run to its end"
        status=1
    elif [ "${summary##* }" != 0 ]; then
        status=1
    fi
done
exit $status
