#!/usr/bin/env bash
# The 32-bit type library is made with the 64-bit stdole2.tlb, which every build
# machine has; it must be the same bytes as one made with the 32-bit stdole2.tlb:
#   check_tlb_importlib.sh BUILT_TLB WIDL [ARGS...] IDL
# The 32-bit stdole2.tlb comes from libwine:i386 where that is installed, or else from
# the emulated machine's cached image; without either the check is skipped (77).
set -u
built=$1
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../cmake/build-machine.paths
. "$root/cmake/build-machine.paths"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/i386"
if [ -f "$STDOLE2_DIR_I386/stdole2.tlb" ]; then
    from="libwine:i386 ($STDOLE2_DIR_I386)"
    cp "$STDOLE2_DIR_I386/stdole2.tlb" "$work/i386/"
else
    image=$("$root/scripts/guest/build-image.sh" --folder)/disk.img
    from="the emulated machine's image ($image)"
    if [ ! -f "$image" ] || ! command -v debugfs >/dev/null ||
        ! debugfs -R "dump $STDOLE2_DIR_I386/stdole2.tlb $work/i386/stdole2.tlb" "$image" >/dev/null 2>&1 ||
        [ ! -s "$work/i386/stdole2.tlb" ]; then
        echo "skipped: no 32-bit stdole2.tlb here (neither libwine:i386 nor a cached guest image)"
        exit 77
    fi
fi
if cmp -s "$work/i386/stdole2.tlb" "$STDOLE2_DIR/stdole2.tlb"; then
    echo "note: the two stdole2.tlb files are the same bytes"
fi

# The same widl command line, with the 32-bit stdole2.tlb's folder searched first.
"$root/cmake/widl-tlb.sh" "$work/tb.tlb" "$1" -L"$work/i386" "${@:2}" || exit 1
if ! cmp "$built" "$work/tb.tlb"; then
    echo "FAILED: $built differs from the type library made with the 32-bit stdole2.tlb from $from"
    exit 1
fi
echo "ok: $built is the same with the 32-bit stdole2.tlb from $from"
