#!/usr/bin/env bash
# Says whether this machine runs Wine of the given width, by running its loader:
#   wine-probe.sh 32|64      exit 0 when it runs; otherwise one line on stdout says why
# Some kernels execute no 32-bit code at all ("Exec format error", 126), whatever
# packages are installed, so only running a 32-bit program tells. TABULON_NO_32BIT=1
# answers "no" for 32 bits without asking, to try that path on any machine.
set -u
width=$1
# shellcheck source=build-machine.paths
. "$(dirname "$0")/build-machine.paths"
case $width in
    32) loader=$WINE_LOADER_32 package=wine32:i386 ;;
    64) loader=$WINE_LOADER_64 package=wine64 ;;
    *) echo "width is 32 or 64, not '$width'"; exit 2 ;;
esac

if [ "$width" = 32 ] && [ "${TABULON_NO_32BIT:-0}" = 1 ]; then
    echo "TABULON_NO_32BIT=1 is set"
    exit 1
fi
if [ ! -e "$loader" ]; then
    # Where the kernel runs no 32-bit code, 32-bit Wine is never installed: say why.
    if [ "$width" = 32 ] && ! why=$("$(dirname "$0")/runs-32bit.sh"); then
        why=${why#no (}
        echo "this machine's kernel runs no 32-bit programs (${why%)})"
    else
        echo "$width-bit Wine is not installed ($loader; package $package)"
    fi
    exit 1
fi
"$loader" --version >/dev/null 2>&1
rc=$?
case $rc in
    0) exit 0 ;;
    126) echo "this machine's kernel runs no $width-bit programs ($loader: Exec format error)" ;;
    *) echo "$width-bit Wine does not start here ($loader --version exits $rc)" ;;
esac
exit 1
