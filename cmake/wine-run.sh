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

[ $# -eq 0 ] && exit 0
exec wine "$@"
