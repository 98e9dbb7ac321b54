#!/usr/bin/env bash
# cmake/wine-run.sh's prefixes, copies of the folder's template: two made at once
# both come out whole, and each is a prefix of its own (a setting made in one is in
# neither the other nor the template):
#   wine_run_test.sh WIDTH FOLDER
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
width=$1 folder=$2
a=$folder/wineprefix-wine-run-a b=$folder/wineprefix-wine-run-b
template=$folder/.wineprefix-template-$width
run() { "$root/cmake/wine-run.sh" "$width" "$@"; }
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# value PREFIX: the test's value under HKCU, or nothing.
value() {
    run "$1" reg query 'HKCU\Software\Tabulon wine-run test' /v Mark 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *Mark *REG_SZ *//p'
}

rm -rf "$a" "$b" "$a.lock" "$b.lock"
run "$a" reg add 'HKCU\Software\Tabulon wine-run test' /v Mark /d a /f >/dev/null &
pa=$!
run "$b" reg add 'HKCU\Software\Tabulon wine-run test' /v Mark /d b /f >/dev/null &
pb=$!
wait $pa || fail "the first prefix's program failed"
wait $pb || fail "the second prefix's program failed"
for p in "$a" "$b"; do
    [ -f "$p/.tabulon-ready" ] && [ -f "$p/system.reg" ] && [ -f "$p/user.reg" ] || fail "$p is not a whole prefix"
    [ ! -e "$p/.tabulon-template" ] || fail "$p carries the template's mark"
done
[ "$(value "$a")" = a ] || fail "the first prefix reads '$(value "$a")', not its own value"
[ "$(value "$b")" = b ] || fail "the second prefix reads '$(value "$b")', not its own value"
grep -q 'Tabulon wine-run test' "$template/user.reg" && fail "the setting reached the template"
run "$a" wineserver -w
run "$b" wineserver -w
rm -rf "$a" "$b" "$a.lock" "$b.lock"
[ $failures = 0 ] && echo "wine-run: two prefixes made at once, each its own, the template untouched"
exit $((failures != 0))
