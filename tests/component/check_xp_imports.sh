#!/usr/bin/env bash
# Fails when TB.dll needs anything that Windows XP lacks (SP3 for the 32-bit DLL; the
# 64-bit one's first Windows is XP Professional x64, version 5.2):
# - a DLL that XP does not have;
# - a system function that mingw-w64's headers declare only for Vista or later: a
#   probe takes the address of every imported name with _WIN32_WINNT at 0x0501
#   (0x0502 for 64 bits), and the compiler refuses exactly the newer ones;
# - a C runtime function outside the short list that XP's msvcrt.dll is known to have;
# - implicit thread-local data (a .tls section beyond the runtime's two pointers of
#   markers), which XP does not set up for a DLL loaded with LoadLibrary.
#   check_xp_imports.sh OBJDUMP CXX DLL 32|64
set -eu
objdump=$1
cxx=$2
dll=$3
width=$4
case $width in
    32) winnt=0x0501 markers=8 ;;
    # The 64-bit runtime reaches stdio through __iob_func, which every x64 msvcrt has.
    64) winnt=0x0502 markers=16 ;;
    *) echo "width is 32 or 64, not '$width'"; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# An import line ends in its hint and name: "vma  hint  name" up to binutils 2.40,
# "vma  <none>  hint  name" (hint in hex) in later ones.
"$objdump" -p "$dll" | awk '/DLL Name:/ { d = tolower($3); next }
                            /^$/ { d = "" }
                            d != "" && !/Member-Name/ && NF >= 2 && $(NF - 1) ~ /^[0-9a-fA-F]+$/ &&
                            $NF ~ /^[A-Za-z_][A-Za-z0-9_@]*$/ { print d, $NF }' >"$work/imports"
[ -s "$work/imports" ] || { echo "no imports read from $dll"; exit 1; }

status=0
xp_dlls='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|oleacc|shlwapi|shell32|msvcrt|comctl32|uxtheme|version)\.dll$'
for name in $(cut -d' ' -f1 "$work/imports" | sort -u); do
    if ! grep -Eq "$xp_dlls" <<<"$name"; then
        echo "import from a DLL that Windows XP lacks (or that is not a system DLL): $name"
        status=1
    fi
done

# msvcrt.dll of XP: the C runtime functions the static runtime is expected to use.
# From GCC 13 on, the emergency exception pool reads its size from GLIBCXX_TUNABLES
# (getenv, strtoul).
xp_msvcrt=(_amsg_exit _initterm _iob _lock _unlock _errno _onexit __dllonexit atexit abort
 calloc free malloc realloc fwrite fprintf vfprintf fflush memchr memcmp memcpy memmove memset
 strcmp strlen strncmp strchr wcslen wcscmp wcsncmp wcschr getenv strtoul)
[ "$width" = 32 ] || xp_msvcrt+=(__iob_func)
for name in $(awk '$1 == "msvcrt.dll" { print $2 }' "$work/imports"); do
    if [[ " ${xp_msvcrt[*]} " != *" $name "* ]]; then
        echo "C runtime import not on the Windows XP list: $name"
        status=1
    fi
done

{
    echo '#include <windows.h>'
    echo '#include <ole2.h>'
    echo '#include <oleauto.h>'
    echo '#include <olectl.h>'
    echo '#include <shlwapi.h>'
    echo '#include <shellapi.h>'
    echo '#include <commctrl.h>'
    echo '#include <uxtheme.h>'
    echo '#include <oleacc.h>'
    echo 'extern const void* const probes[] = {'
    awk '$1 != "msvcrt.dll" { print "    reinterpret_cast<const void*>(&" $2 ")," }' "$work/imports"
    echo '};'
} >"$work/probe.cpp"
if ! LC_ALL=C "$cxx" -fsyntax-only -D_WIN32_WINNT=$winnt -DWINVER=$winnt -DUNICODE -D_UNICODE \
        -DWIN32_LEAN_AND_MEAN -Wno-microsoft-cast "$work/probe.cpp" 2>"$work/errors"; then
    newer=$(sed -n "s/.*error: '\([A-Za-z0-9_]*\)' was not declared.*/\1/p" "$work/errors" | sort -u)
    if [ -n "$newer" ]; then
        echo "imports that Windows XP lacks (undeclared for _WIN32_WINNT $winnt):" $newer
    else
        echo "the XP import probe did not compile:"
        cat "$work/errors"
    fi
    status=1
fi

tls_size=$("$objdump" -h "$dll" | awk '$2 == ".tls" { print $3 }')
if [ -n "$tls_size" ] && [ $((16#$tls_size)) -gt $markers ]; then
    echo "implicit thread-local data: .tls holds $((16#$tls_size)) bytes (the runtime's markers are $markers)"
    status=1
fi

echo "$(wc -l <"$work/imports") imports from" $(cut -d' ' -f1 "$work/imports" | sort -u)
exit $status
