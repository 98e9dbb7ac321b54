#!/usr/bin/env bash
# The Windows test suites, one a width, each under Wine of its own width, then one line
# that says which ran, how, and why:
#   test-windows.sh [TARGET...]   (after `make win32`; it builds win64 itself)
# TARGET...: make targets that run here after the 64-bit suite, while the emulated
# machine is at work (`make test` hands it the rest of its own work); their failure
# fails the run too.
# The 64-bit suite always runs natively. The 32-bit one, the host's, runs natively where
# this machine runs 32-bit programs (cmake/wine-probe.sh asks the kernel, not the
# package list). Elsewhere its static checks of TB.dll (exports, imports, XP floor,
# size, package tables) run here and the rest inside an emulated x86-64 machine
# (scripts/guest/run.sh) whose kernel runs 32-bit code.
#   TABULON_NO_32BIT=1        take the path of a machine without 32-bit programs anywhere
#   TABULON_EMULATE_32BIT=1   run the 32-bit suite emulated, even where it could run natively
#   TABULON_EMULATE_32BIT=0   without 32-bit programs, the static checks only (no machine)
#   TABULON_TIME_SCALE=N      the emulated tests' time limits, N times the native ones (4)
set -uo pipefail
cd "$(dirname "$0")/.."

# The presets' time limit of one Windows test (CMakePresets.json).
test_limit=300
scale=${TABULON_TIME_SCALE:-4}
[[ $scale =~ ^[1-9][0-9]*$ ]] || { echo "TABULON_TIME_SCALE is a whole number, not '$scale'" >&2; exit 2; }
emulate=${TABULON_EMULATE_32BIT:-}
case $emulate in
    "" | 0 | 1) ;;
    *) echo "TABULON_EMULATE_32BIT is 0, 1 or unset, not '$emulate'" >&2; exit 2 ;;
esac

status=0
report=()
# Runs that Wine itself killed with SIGSEGV and cmake/wine-run.sh ran again, this run's:
# one line each in the build folders' logs, and in the emulated machine's own.
rerun_logs=(build/win32/wine-reruns.log build/win64/wine-reruns.log build/win32-emulated-reruns.log)
rm -f "${rerun_logs[@]}"
# count LOG: "N tests, M failed" from ctest's output in LOG.
count() {
    local c
    c=$(sed -n 's/.*tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\)/\2 tests, \1 failed/p' "$1" | tail -n 1)
    echo "${c:-no test result}"
}
# suite COMMAND...: runs a ctest command; sets $counted to its count and time, and $rc.
counted= rc=
suite() {
    local log start
    log=$(mktemp)
    start=$SECONDS
    "$@" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    [ "$rc" -eq 0 ] || status=1
    counted="$(count "$log"), $((SECONDS - start)) s"
    rm -f "$log"
}

# The 32-bit suite: natively, emulated or only its static checks. The emulated machine
# runs beside the 64-bit suite; its output is shown when it ends.
native32=0 guest_pid= report32=
why32=$(cmake/wine-probe.sh 32) && native32=1
if [ $native32 = 1 ] && [ "$emulate" != 1 ]; then
    suite ctest --preset win32
    report32="32-bit suite ran natively ($counted)"
else
    [ $native32 = 1 ] && why32="TABULON_EMULATE_32BIT=1 is set"
    # The machine's image first (built once, about 2 minutes, then cached): one static
    # check takes the 32-bit stdole2.tlb from it.
    start=$SECONDS image=
    if [ "$emulate" != 0 ]; then
        image=$(timeout --kill-after=60 2400 scripts/guest/build-image.sh | tail -n 1) || image=
        [ -z "$image" ] || [ -f "$image/disk.img" ] || image=
    fi
    image_time=$((SECONDS - start))
    # Before the machine starts: it sees build/win32 as it is then.
    suite ctest --preset win32 -L static
    static=$counted
    if [ "$emulate" = 0 ]; then
        report32="32-bit suite skipped, because $why32 and TABULON_EMULATE_32BIT=0 is set: only its static checks ran ($static)"
    else
        junit=$PWD/build/win32-emulated.xml guest_log=$PWD/build/win32-emulated.log
        rm -f "$junit" "$guest_log"
        if [ -z "$image" ]; then
            status=1
            report32="32-bit suite did not run: the emulated machine's image could not be built (static checks here: $static)"
        else
            templates=$image/wine-templates
            mkdir -p "$templates"
            # The prefixes live in build/win32: on the guest's own disk, not the shared
            # folder. Each test has its time limit; the run's own is for a machine that
            # hangs. ctest's JUnit file, every test's output and time, comes back here.
            # The soak's short round is its longest test there: a quarter of the
            # calls, half the openings, still enough that one object lost an opening shows.
            soak_rounds="500 10"
            guest_start=$SECONDS
            scripts/guest/run.sh --local build/win32 --share "$templates" \
                --env TABULON_WINE_TEMPLATES="$templates" --env TABULON_SOAK_ROUNDS="$soak_rounds" \
                --env TABULON_TIME_SCALE="$scale" \
                --env TABULON_WINE_RERUN_LOG="$PWD/build/win32-emulated-reruns.log" \
                --timeout 3000 -- \
                ctest --preset win32 -LE static --timeout $((test_limit * scale)) --output-junit "$junit" \
                >"$guest_log" 2>&1 &
            guest_pid=$!
            trap '[ -z "$guest_pid" ] || kill -TERM "$guest_pid" 2>/dev/null' EXIT
            trap 'exit 130' INT
            trap 'exit 143' TERM HUP
            echo "32-bit suite: running in the emulated machine; its output follows the 64-bit suite's"
        fi
    fi
fi

start=$SECONDS
if ! make --no-print-directory win64; then
    report64="64-bit suite did not run: its build failed"
    status=1
elif why=$(cmake/wine-probe.sh 64); then
    built=$((SECONDS - start))
    suite ctest --preset win64
    report64="64-bit suite ran natively ($counted, after $built s of building)"
else
    report64="64-bit suite did not run: $why"
    status=1
fi

report_more=()
if [ $# -gt 0 ]; then
    start=$SECONDS
    # Where the emulated machine works meanwhile, it is the longest part of the run:
    # this work gives way to it, and takes the time the machine leaves.
    nice_work=()
    [ -n "$guest_pid" ] && nice_work=(nice -n 15)
    if "${nice_work[@]}" make --no-print-directory "$@"; then
        report_more=("then here: make $* passed ($((SECONDS - start)) s)")
    else
        report_more=("then here: make $* FAILED ($((SECONDS - start)) s)")
        status=1
    fi
fi

if [ -n "$guest_pid" ]; then
    wait "$guest_pid"
    rc=$?
    guest_pid=
    echo "== 32-bit suite in the emulated machine"
    cat "$guest_log"
    counted="$(count "$guest_log"), $((SECONDS - guest_start)) s"
    [ $image_time -lt 10 ] || counted+=", after $image_time s for the machine's image"
    case $rc in
        0) how="the rest in the emulated machine: $counted" ;;
        124) how="the emulated machine ran past its time limit: $counted" ;;
        125) how="the emulated machine failed: $counted" ;;
        *) how="the rest in the emulated machine: $counted, exit $rc" ;;
    esac
    [ "$rc" = 0 ] || status=1
    report32="32-bit suite ran emulated, because $why32 (static checks here: $static; $how; output in $guest_log, every test's in $junit)"
fi
reruns=0
for log in "${rerun_logs[@]}"; do
    [ -f "$log" ] && reruns=$((reruns + $(wc -l <"$log")))
done
report_reruns="Wine died of SIGSEGV and cmake/wine-run.sh ran the program again: $reruns time(s)"

report=("$report64" "${report_more[@]}" "$report32" "$report_reruns")

line="Windows suites: ${report[0]}"
for part in "${report[@]:1}"; do line+="; $part"; done
echo "$line"
exit $status
