#!/usr/bin/env bash
# tabulon-host --dll against TB.dll in a prefix where TB.dll was never registered
# (the stand-in shell is installed there, for a known browsing session):
#   run_host_dll_test.sh WIDTH PREFIX tabulon-host.exe TB.dll testshell.dll THIS_FOLDER
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
width=$1 prefix=$2 host=$3 tb=$4 testshell=$5 here=$6

windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }
run() { "$root/cmake/wine-run.sh" "$width" "$prefix" "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The host's output with Unix line ends and the DLL's path as TB.dll, and its exit
# status. Through a file: Wine's helper processes that COM starts would hold a pipe
# open after the host has ended.
host() {
    run "$host" "$@" >"$work/out" 2>&1
    local status=$?
    tr -d '\r' <"$work/out" | sed "s|$(windows_path "$tb" | sed 's/\\/\\\\/g')|TB.dll|g"
    return $status
}

failures=0
check() {  # check WHAT EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}

run || exit 1
# Installing waits for the Wine server to exit: only when the prefix lacks it.
shell_key='HKLM\Software\Classes\CLSID\{13709620-C279-11CE-A49E-444553540000}\InprocServer32'
if ! run reg query "$shell_key" /ve 2>/dev/null | grep -qi 'testshell\.dll'; then
    "$root/tools/testshell/install-in-prefix.sh" "$width" "$prefix" "$testshell" || exit 1
fi
run reg delete 'HKCU\Software\VB and VBA Program Settings\Vantorel\Tabulon' /f >/dev/null 2>&1
export TABULON_TEST_SHELL
TABULON_TEST_SHELL=$(windows_path "$here/session.txt")
tb_windows=$(windows_path "$tb")

out=$(host "/xweball"; echo "exit $?")
check "by ProgID: not registered in this prefix" \
      "$(printf 'Cannot create Quenlar.TB: 0x800401F3\nexit 1')" "$out"

out=$(host --dll "$tb_windows" "/xweball" "/xwebhelp"; echo "exit $?")
check "--dll: the first class of the type library, the handshake and two commands" \
      "$(cat "$here/expected_dll_run.txt")" "$out"

clsid=$(sed -n 's/^Created \({[-0-9A-F]*}\) from .*/\1/p' <<<"$out")
out=$(host --dll "$tb_windows" --clsid "$clsid" "/xwebhelp" | head -n 2)
check "--dll with --clsid of the class" \
      "$(printf 'Created %s from TB.dll through DllGetClassObject, unregistered\nPlug-in: Tabulon (4 commands, 0 tags)' "$clsid")" "$out"

out=$(host --dll "$tb_windows" --clsid "{00000000-0000-0000-0000-000000000001}" "/xweball"; echo "exit $?")
check "--dll with a class the DLL does not have" \
      "$(printf 'Cannot create {00000000-0000-0000-0000-000000000001} from TB.dll: DllGetClassObject 0x80040111\nexit 1')" "$out"

out=$(host --dll 'Z:\nonexistent\TB.dll' "/xweball"; echo "exit $?")
check "--dll with a missing file" \
      "$(printf 'Cannot create a class from Z:\\nonexistent\\TB.dll: LoadLibrary 0x8007007E\nexit 1')" "$out"

out=$(host --help | head -n 1)
check "--help" "usage: tabulon-host [OPTION...] [\"/command argument\" ...]" "$out"
out=$(host --clsid "{00000000-0000-0000-0000-000000000001}"; echo "exit $?")
check "--clsid without --dll" "$(printf 'tabulon-host: --clsid goes with --dll\nexit 2')" "$out"

[ $failures -eq 0 ]
