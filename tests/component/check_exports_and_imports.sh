#!/usr/bin/env bash
# TB.dll exports exactly the four COM server functions and imports system DLLs only
# (its C and C++ runtimes are linked in).
set -eu
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll")

imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|oleacc|shlwapi|shell32|msvcrt|comctl32|version)\.dll$'
status=0
for dll_name in $imports; do
    if ! grep -Eq "$allowed" <<<"$dll_name"; then
        echo "unexpected import: $dll_name"
        status=1
    fi
done

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF} on && /^$/{on=0}' <<<"$dump" | sort | tr '\n' ' ')
expected='DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer '
if [ "$exports" != "$expected" ]; then
    echo "exports are '$exports', expected '$expected'"
    status=1
fi
echo "imports: $(tr '\n' ' ' <<<"$imports")"
echo "exports: $exports"
exit $status
