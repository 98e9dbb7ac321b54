#!/usr/bin/env bash
# The main job: registers the freshly built TB.dll in a throwaway Wine prefix and
# drives it with tabulon-host exactly as the chat client's add-on host would.
# The Shell class in that prefix is the stand-in from tools/testshell, showing a
# small browsing session (Wine's own shell cannot list windows).
#   scripts/demo.sh [BUILD_DIR]
# Without BUILD_DIR it builds and shows the 32-bit TB.dll, the host's, where this
# machine runs 32-bit programs, and the 64-bit one otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ]; then
    if why=$("$root/cmake/wine-probe.sh" 32); then
        width=32
        echo "demo: the 32-bit TB.dll, as the host loads it, under 32-bit Wine"
    elif why64=$("$root/cmake/wine-probe.sh" 64); then
        width=64
        echo "demo: the 64-bit TB.dll under 64-bit Wine; the 32-bit one cannot run here: $why"
    else
        echo "demo: no Wine runs on this machine: $why; $why64" >&2
        exit 1
    fi
    make -C "$root" --no-print-directory "win$width"
    build=$root/build/win$width
else
    build=$(realpath "$1")
    width=$("$root/cmake/build-width.sh" "$build")
fi
prefix=$build/demo-prefix
run() { "$root/cmake/wine-run.sh" "$width" "$prefix" "$@"; }
windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }
settings='HKCU\Software\VB and VBA Program Settings\Vantorel\Tabulon'
host=$build/tools/tabulon-host.exe

step() { printf '\n=== %s\n' "$*"; }

step "A fresh Wine prefix (headless) in $prefix"
rm -rf "$prefix" "$prefix.lock"
run

step "The browsing session the stand-in shell reports"
session=$root/scripts/demo-session.txt
sed 's/\t/  |  /g' "$session"
"$root/tools/testshell/install-in-prefix.sh" "$width" "$prefix" "$build/tools/testshell/testshell.dll"
export TABULON_TEST_SHELL
TABULON_TEST_SHELL=$(windows_path "$session")

step "regsvr32 TB.dll"
run regsvr32 /s "$(windows_path "$build/src/component/TB.dll")"
echo "registered: $(run reg query 'HKCR\Quenlar.TB\CLSID' /ve 2>/dev/null | tr -d '\r' | awk '/REG_SZ/{print $NF}')"

step "The host starts the plug-in and sends commands (first run seeds the settings)"
run "$host" "/xweball" "/XWEBALL with an argument" "/xwebhelp" "xweball"

step "Settings after the first run"
run reg query "$settings" | tr -d '\r' | sed -n 's/^ *//p'

for mode in " 0" " 1" " 2" "3"; do
    step "Show = \"$mode\": /xweball"
    run reg add "$settings" /v Show /d "$mode" /f >/dev/null
    run "$host" "/xweball"
done

step "Today's browsers beside the shell's windows: a Chromium-like and a Firefox-like stand-in"
browsers=$root/scripts/demo-browsers.txt
sed 's/^/    /' "$browsers"
echo "(the third window is a Chromium-based editor, no browser: it gives no line)"
browsers_log=$build/demo-browsers.log
: >"$browsers_log"
run "$build/tools/testbrowser/testbrowser.exe" "$(windows_path "$browsers")" TabulonDemoBrowsers \
    >"$browsers_log" 2>&1 &
for _ in $(seq 60); do
    grep -q "testbrowser: ready" "$browsers_log" && break
    sleep 0.5
done
grep -q "testbrowser: ready" "$browsers_log" || {
    cat "$browsers_log"
    echo "demo: the stand-in browsers did not start" >&2
    exit 1
}
run reg add "$settings" /v Show /d "2" /f >/dev/null
run "$host" "/xweball"
run "$host" --autopilot 4 "/xweb"
run taskkill /f /im testbrowser.exe >/dev/null 2>&1 || true
wait

step "The windows: the prefix is headless, so a stand-in user answers them"
run reg add "$settings" /v Show /d "2" /f >/dev/null
run "$host" --autopilot 2 "/xweb" "/xweboptions" "/xwebabout"

step "No page open: the picker offers Cancel, the report says so"
empty_session=$build/demo-empty-session.txt
: >"$empty_session"
TABULON_TEST_SHELL=$(windows_path "$empty_session") run "$host" --autopilot 1 "/xweb" "/xweball"

step "An unusable Show value: every command fails with a description"
run reg add "$settings" /v Show /d "abc" /f >/dev/null
run "$host" "/xweball" || true
run reg add "$settings" /v Show /d "2" /f >/dev/null

step "regsvr32 /u TB.dll: the plug-in can no longer be created"
run regsvr32 /s /u "$(windows_path "$build/src/component/TB.dll")"
run "$host" "/xweball" || echo "(exit code $?)"
