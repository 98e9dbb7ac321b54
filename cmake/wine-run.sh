#!/usr/bin/env bash
# Runs a Windows program under Wine of the given width in a prefix of the build folder:
#   wine-run.sh 32|64 PREFIX [PROGRAM [ARGS...]]
# PROGRAM "wineserver" is that width's server (wineserver -w, -k). The prefix is made
# once (under a lock, since ctest runs tests side by side), a copy of the folder's
# template prefix, with the null graphics driver, so windows work without a display;
# without PROGRAM only that is done.
set -eu
width=$1 prefix=$(realpath -m "$2")
shift 2

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=build-machine.paths
. "$here/build-machine.paths"
case $width in
    32) loader=$WINE_LOADER_32 server=$WINE_SERVER_32 arch=win32 ;;
    64) loader=$WINE_LOADER_64 server=$WINE_SERVER_64 arch=win64 ;;
    *) echo "wine-run: width is 32 or 64, not '$width'" >&2; exit 2 ;;
esac
if [ ! -x "$loader" ]; then
    echo "wine-run: no $width-bit Wine here ($loader is missing)" >&2
    exit 127
fi

export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$loader WINESERVER=$server
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# wineboot -i takes a minute or more (several in an emulated machine), a copy of a
# prefix a second: wineboot runs once a width in each folder, and every prefix there
# starts as a copy of that template. Settings of a prefix's own (version, dpi) are the
# caller's, after the copy.
# TABULON_WINE_TEMPLATES=DIR keeps the templates between runs, as tar files in DIR
# (one a width, user and version of this script): for the emulated machine, whose
# every run starts from the same disk. DIR belongs to one Wine installation.
template=$(dirname "$prefix")/.wineprefix-template-$width
make_template() {
    rm -rf "$template"
    local saved= rc=0
    if [ -n "${TABULON_WINE_TEMPLATES:-}" ]; then
        saved=$TABULON_WINE_TEMPLATES/wineprefix-$width-$(id -un)-$(sha256sum "$0" | cut -c1-12).tar
        if [ -f "$saved" ]; then
            mkdir -p "$template"
            tar -xf "$saved" -C "$template"
            return
        fi
    fi
    WINEPREFIX=$template "$loader" wineboot -i >/dev/null 2>&1 || rc=$?
    if [ $rc -eq 126 ]; then
        echo "wine-run: this machine cannot run $width-bit programs ($loader: exit 126)" >&2
        exit 126
    fi
    WINEPREFIX=$template "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    # Copied only once its server has written the registry and gone.
    WINEPREFIX=$template "$server" -w
    touch "$template/.tabulon-template"
    if [ -n "$saved" ]; then
        mkdir -p "$TABULON_WINE_TEMPLATES"
        tar -cf "$saved.$$" -C "$template" . && mv "$saved.$$" "$saved"
    fi
}

mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.tabulon-ready" ]; then
        # Never a lock inside the template's: no two callers wait on each other.
        (
            flock 8
            if [ ! -f "$template/.tabulon-template" ]; then make_template; fi
        ) 8>"$template.lock"
        rm -rf "$prefix"
        cp -a "$template" "$prefix"
        rm "$prefix/.tabulon-template"
        touch "$prefix/.tabulon-ready"
    fi
) 9>"$prefix.lock"

if [ "${1:-}" = wineserver ]; then
    shift
    exec "$server" "$@"
fi

# Keep the server up for 10 s after the last program: starting it costs seconds, a
# program under a running server a few hundredths.
if "$server" -p10 </dev/null >/dev/null 2>&1; then
    # A new server: its system processes start with the first program and inherit
    # its output. Start them here, away from the caller's pipe, or a test runner
    # waits for them to exit.
    "$loader" cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

[ $# -eq 0 ] && exit 0
# Wine 8 itself very rarely dies of SIGSEGV (seen twice in some hundreds of runs of one
# test program, at different points, never reproduced on demand). A crash inside a
# Windows program is an exception with its own exit code, not a signal, so only this
# gets one more run, said out loud and counted in wine-reruns.log beside the prefix,
# or in TABULON_WINE_RERUN_LOG (make test sums it up).
rc=0
"$loader" "$@" || rc=$?
if [ $rc -eq 139 ]; then
    echo "wine-run: Wine died of SIGSEGV running $1; running it once more" >&2
    echo "$(date -u +%Y-%m-%dT%H:%M:%SZ) $width-bit $*" \
        >>"${TABULON_WINE_RERUN_LOG:-$(dirname "$prefix")/wine-reruns.log}"
    rc=0
    "$loader" "$@" || rc=$?
fi
exit $rc
