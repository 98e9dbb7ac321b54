#!/usr/bin/env bash
# Runs a Windows program under Wine in the build folder's own prefix:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made once (under a lock, since ctest runs tests side by side)
# with the null graphics driver, so windows work without a display.
set -eu
prefix=$1
shift

export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.tabulon-ready" ]; then
        rm -rf "$prefix"
        wineboot -i >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.tabulon-ready"
    fi
) 9>"$prefix.lock"

# Keep the server up for 10 s after the last program: starting it costs seconds, a
# program under a running server a few hundredths.
if wineserver -p10 </dev/null >/dev/null 2>&1; then
    # A new server: its system processes start with the first program and inherit
    # its output. Start them here, away from the caller's pipe, or a test runner
    # waits for them to exit.
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

[ $# -eq 0 ] && exit 0
# Wine 8 itself very rarely dies of SIGSEGV (seen twice in some hundreds of runs of one
# test program, at different points, never reproduced on demand). A crash inside a
# Windows program is an exception with its own exit code, not a signal, so only this
# gets one more run, said out loud.
rc=0
wine "$@" || rc=$?
if [ $rc -eq 139 ]; then
    echo "wine-run: Wine died of SIGSEGV running $1; running it once more" >&2
    rc=0
    wine "$@" || rc=$?
fi
exit $rc
