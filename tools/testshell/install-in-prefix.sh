#!/usr/bin/env bash
# Points CLSID_Shell in a throwaway Wine prefix at testshell.dll:
#   install-in-prefix.sh 32|64 PREFIX /unix/path/to/testshell.dll
# Only for prefixes made for tests or demos: it replaces the system's own Shell
# registration. Wine ignores a per-user (HKCU) override, so HKLM it is. Programs
# then read their windows from the file named by TABULON_TEST_SHELL.
set -eu
width=$1 prefix=$2 dll=$3
run() { "$(dirname "$0")/../../cmake/wine-run.sh" "$width" "$prefix" "$@"; }

key='HKLM\Software\Classes\CLSID\{13709620-C279-11CE-A49E-444553540000}\InprocServer32'
windows_path="Z:$(realpath "$dll" | tr / '\\')"

run reg add "$key" /ve /d "$windows_path" /f >/dev/null
run reg add "$key" /v ThreadingModel /d Apartment /f >/dev/null
run wineserver -w
