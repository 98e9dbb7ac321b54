#!/usr/bin/env bash
# The Windows Installer package under Wine's own msiexec, in a fresh prefix of its
# own (the other tests' prefix stays as it is):
#   run_msi_test.sh WIDTH PREFIX TB.dll PACKAGE NEWER_PACKAGE apartment_client.exe \
#                   late_bound_client.vbs testshell.dll SCENARIO
# Install, use, upgrade, refused downgrade, removal; then regsvr32 registers the
# same TB.dll at the installed path, and the registry must read as the package
# left it. Stops at the first failed step and says which.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
width=$1 prefix=$2 tb=$3 package=$4 newer=$5 apartment_client=$6 client_vbs=$7 testshell=$8 scenario=$9
work=$prefix-work

clsid='{F504D56A-4B62-458C-A964-5A918ABD2F52}'
libid='{7542B7CB-CF5E-4017-8D6E-3F7F1940543D}'
iid='{C2B217F3-0236-4A51-888B-0A5432243559}'
progid='Quenlar.TB'
folder="$prefix/drive_c/Program Files/Tabulon"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

run() { "$root/cmake/wine-run.sh" "$width" "$prefix" "$@"; }
windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }
fail() {
    echo "FAIL: $*"
    exit 1
}
pass() { echo "ok: $*"; }
# The registry files are current only once the server has written them.
flush_registry() {
    run wineserver -k 2>/dev/null || true
    run wineserver -w
}
seconds_since() { echo "$(($(date +%s%N) - $1))" | awk '{printf "%.2f", $1 / 1e9}'; }
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name {print $2}'; }
# Windows Installer's own form of a GUID in its registry keys.
packed() {
    local g=${1//[\{\}-]/} out
    g=${g^^}
    out=$(rev <<<"${g:0:8}")$(rev <<<"${g:8:4}")$(rev <<<"${g:12:4}")
    for i in 16 18 20 22 24 26 28 30; do out+=${g:i+1:1}${g:i:1}; done
    echo "$out"
}
# The keys under HKLM\Software\Classes that name the class, library, interface or
# ProgID, as system.reg holds them, without write times and with the install
# folder written as <folder>.
com_registration() {
    awk -v RS= -v ORS='\n\n' -v ids="$clsid $libid $iid $progid" '
        BEGIN { n = split(tolower(ids), id, " ") }
        index($0, "[Software\\\\Classes\\\\") == 1 &&
        index($0, "[Software\\\\Classes\\\\Installer\\\\") != 1 {
            text = tolower($0)
            for (i = 1; i <= n; i++) if (index(text, id[i])) { print; next }
        }' "$prefix/system.reg" |
        sed -E -e 's/^(\[.*\]) [0-9]+$/\1/' -e '/^#time=/d' \
            -e 's/C:\\\\Program Files\\\\Tabulon\\\\/<folder>\\\\/Ig'
}
# Add/Remove Programs, one "{code}|||name" line a product.
listed() { run uninstaller --list | tr -d '\r' | grep '|||Tabulon$' || true; }
cached_packages() { find "$prefix/drive_c/windows/Installer" -maxdepth 1 -iname '*.msi' 2>/dev/null | wc -l; }
install() {
    local log=$work/$2.log start rc=0
    start=$(date +%s%N)
    run msiexec /i "$(windows_path "$1")" /qn /l*v "$(windows_path "$log")" >/dev/null || rc=$?
    echo "$rc $(seconds_since "$start")"
}
check_plugin_works() {
    local out summary
    out=$(TABULON_TEST_SHELL=$(windows_path "$scenario") run cscript //nologo "$(windows_path "$client_vbs")" 2>&1 | tr -d '\r')
    summary=$(grep -E '^checks: [0-9]+ failed: 0$' <<<"$out" || true)
    [ -n "$summary" ] || fail "$1: the late-bound client (cscript) failed:"$'\n'"$out"
    pass "$1: cscript creates $progid and calls it late-bound ($summary)"
    run "$(windows_path "$apartment_client")" >"$work/apartment.txt" 2>&1 ||
        fail "$1: the call from a second apartment failed:"$'\n'"$(tr -d '\r' <"$work/apartment.txt")"
    pass "$1: $(tr -d '\r' <"$work/apartment.txt")"
}

product=$(property "$package" ProductCode)
newer_product=$(property "$newer" ProductCode)
upgrade_code=$(property "$package" UpgradeCode)
version=$(property "$package" ProductVersion)
newer_version=$(property "$newer" ProductVersion)
[ -n "$product" ] && [ -n "$newer_product" ] && [ "$product" != "$newer_product" ] ||
    fail "the two packages need product codes of their own ($product, $newer_product)"
[ "$upgrade_code" = "$(property "$newer" UpgradeCode)" ] || fail "the two packages' upgrade codes differ"
# The registry rows do the registering: no DLL code runs during installation.
for table in SelfReg CustomAction; do
    rows=$(msiinfo export "$package" "$table" 2>/dev/null | tail -n +4)
    [ -z "$rows" ] || fail "the package has $table rows:"$'\n'"$rows"
done

echo "== a fresh prefix in $prefix"
rm -rf "$prefix" "$prefix.lock" "$work"
mkdir -p "$work"
run
[ "$(cached_packages)" = 0 ] || fail "the fresh prefix already holds cached packages"

echo "== msiexec /i $(basename "$package") /qn"
read -r rc took < <(install "$package" install)
[ "$rc" = 0 ] || fail "msiexec /i exited $rc; log: $work/install.log"
pass "installed in $took s ($(stat -c %s "$package") bytes)"
cmp -s "$tb" "$folder/TB.dll" || fail "C:\\Program Files\\Tabulon\\TB.dll is missing or not the built TB.dll"
pass "TB.dll is in C:\\Program Files\\Tabulon"
[ "$(cached_packages)" = 1 ] || fail "Windows Installer keeps $(cached_packages) packages, not 1"

flush_registry
com_registration >"$work/msi.reg"
grep -q '^@="<folder>\\\\TB.dll"$' "$work/msi.reg" ||
    fail "no class or library names TB.dll in the install folder:"$'\n'"$(cat "$work/msi.reg")"
pass "the package wrote $(grep -c '^\[' "$work/msi.reg") keys that name the plug-in"
hkcu=$(grep -n -i -F -e "$clsid" -e "$libid" -e "$iid" -e "$progid" -e "$product" \
    -e "$(packed "$product")" -e "$(packed "$upgrade_code")" "$prefix/user.reg" || true)
[ -z "$hkcu" ] || fail "the per-machine package wrote under HKEY_CURRENT_USER:"$'\n'"$hkcu"
pass "nothing under HKEY_CURRENT_USER"

entries=$(listed)
[ "$entries" = "$product|||Tabulon" ] || fail "Add/Remove Programs lists: '${entries:-nothing}'"
entry=$(run reg query "$uninstall_key\\$product" | tr -d '\r')
for value in "DisplayName REG_SZ Tabulon" "DisplayVersion REG_SZ $version" \
    "Publisher REG_SZ Quenlar" "NoModify REG_DWORD 0x1" "NoRepair REG_DWORD 0x1"; do
    # shellcheck disable=SC2086
    grep -qE "^ +$(printf '%s +' $value | sed 's/ +$//')$" <<<"$entry" ||
        fail "the Add/Remove Programs entry lacks $value:"$'\n'"$entry"
done
pass "Add/Remove Programs lists Tabulon $version by Quenlar, without modify and repair"

"$root/tools/testshell/install-in-prefix.sh" "$width" "$prefix" "$testshell"
check_plugin_works "installed"

echo "== msiexec /i $(basename "$newer") /qn (upgrade to $newer_version)"
read -r rc took < <(install "$newer" upgrade)
[ "$rc" = 0 ] || fail "the upgrade exited $rc; log: $work/upgrade.log"
pass "upgraded in $took s"
entries=$(listed)
[ "$entries" = "$newer_product|||Tabulon" ] ||
    fail "after the upgrade Add/Remove Programs lists: '${entries:-nothing}'"
run reg query "$uninstall_key\\$newer_product" /v DisplayVersion | tr -d '\r' |
    grep -qE "REG_SZ +$newer_version$" || fail "the entry does not show version $newer_version"
[ "$(cached_packages)" = 1 ] || fail "after the upgrade Windows Installer keeps $(cached_packages) packages"
pass "one entry, Tabulon $newer_version"
check_plugin_works "upgraded"

echo "== msiexec /i $(basename "$package") /qn (downgrade)"
read -r rc took < <(install "$package" downgrade)
# Windows refuses with 1603; Wine's msiexec exits 67.
[ "$rc" = 1603 ] || [ "$rc" = 67 ] || fail "the downgrade exited $rc, not 1603 (Windows) or 67 (Wine)"
grep -q "WIX_DOWNGRADE_DETECTED = $newer_product" "$work/downgrade.log" ||
    fail "the downgrade failed, but not because a newer version is installed; log: $work/downgrade.log"
[ "$(listed)" = "$newer_product|||Tabulon" ] || fail "the refused downgrade changed Add/Remove Programs"
cmp -s "$tb" "$folder/TB.dll" || fail "the refused downgrade changed TB.dll"
pass "refused (exit code $rc), $newer_version stays"

# Removal as Add/Remove Programs does it: the entry's own command, made silent.
uninstall=$(run reg query "$uninstall_key\\$newer_product" /v UninstallString | tr -d '\r' |
    sed -n 's/^ *UninstallString *REG_[A-Z_]* *//p')
[[ ${uninstall,,} == "msiexec.exe /x${newer_product,,}" ]] ||
    fail "the entry's UninstallString is '$uninstall', not msiexec /x with the product code"
echo "== $uninstall /qn"
start=$(date +%s%N)
rc=0
# shellcheck disable=SC2086
run $uninstall /qn /l*v "$(windows_path "$work/remove.log")" || rc=$?
took=$(seconds_since "$start")
[ "$rc" = 0 ] || fail "msiexec /x exited $rc; log: $work/remove.log"
pass "removed in $took s"
[ ! -e "$folder/TB.dll" ] || fail "TB.dll is still there"
[ ! -e "$folder" ] || fail "C:\\Program Files\\Tabulon is still there"
[ -z "$(listed)" ] || fail "Add/Remove Programs still lists: $(listed)"
[ "$(cached_packages)" = 0 ] || fail "the cached package is still in C:\\windows\\Installer"
pass "file, folder, entry and cached package are gone"
flush_registry
left=$(grep -n -i -F -e "$clsid" -e "$libid" -e "$iid" -e "$progid" \
    -e "$product" -e "$newer_product" -e "$upgrade_code" -e "$(packed "$product")" \
    -e "$(packed "$newer_product")" -e "$(packed "$upgrade_code")" \
    "$prefix/system.reg" "$prefix/user.reg" || true)
[ -z "$left" ] || fail "registry lines that name the plug-in are left:"$'\n'"$left"
pass "no registry line names the plug-in"
grep -q '^\[Software\\\\VB and VBA Program Settings\\\\Vantorel\\\\Tabulon\]' "$prefix/user.reg" ||
    fail "the removal took the user's settings"
pass "the user's settings stay"

echo "== regsvr32 of the same TB.dll in C:\\Program Files\\Tabulon"
mkdir -p "$folder"
cp "$tb" "$folder/TB.dll"
run regsvr32 /s 'C:\Program Files\Tabulon\TB.dll' || fail "regsvr32 exited $?"
flush_registry
com_registration >"$work/regsvr32.reg"
diff -u "$work/regsvr32.reg" "$work/msi.reg" >"$work/registration.diff" ||
    fail "the package's registry entries differ from DllRegisterServer's (- regsvr32, + package):"$'\n'"$(cat "$work/registration.diff")"
pass "the package wrote exactly what regsvr32 writes"
echo "msi package: all steps passed"
