#!/usr/bin/env bash
# The Windows Installer package of this build's width under Wine's own msiexec, in a
# fresh prefix of its own (the other tests' prefix stays as it is):
#   run_msi_test.sh 32 PREFIX TB.dll PACKAGE NEWER_PACKAGE apartment_client.exe \
#                   late_bound_client.vbs testshell.dll SCENARIO
#   run_msi_test.sh 64 PREFIX TB64.dll PACKAGE NEWER_PACKAGE apartment_client.exe \
#                   late_bound_client.vbs testshell.dll SCENARIO TB.dll X86_PACKAGE
# Width 32: the x86 package holds TB.dll, in a 32-bit prefix. Width 64: the x64
# package holds the 64-bit TB64.dll (C:\Program Files\Tabulon, 64-bit registry view)
# and the 32-bit TB.dll (C:\Program Files (x86)\Tabulon, 32-bit view); it goes in
# over the x86 package of the same version, which it must replace.
# Install, use, upgrade, refused downgrade, removal; then this width's regsvr32
# registers the same DLL at the installed path, and the registry must read as the
# package left it. In a 64-bit prefix the x86 package goes in before regsvr32 there:
# its 32-bit registration, which the 32-bit build proves equal to 32-bit regsvr32's,
# is what the x64 package must write in that view. Stops at the first failed step and
# says which.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
width=$1 prefix=$2 tb=$3 package=$4 newer=$5 apartment_client=$6 client_vbs=$7 testshell=$8 scenario=$9
tb32=${10:-} x86_package=${11:-}
work=$prefix-work

clsid='{F504D56A-4B62-458C-A964-5A918ABD2F52}'
libid='{7542B7CB-CF5E-4017-8D6E-3F7F1940543D}'
iid='{C2B217F3-0236-4A51-888B-0A5432243559}'
progid='Quenlar.TB'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# This width's TB.dll and folder; in a 64-bit prefix, the 32-bit ones beside them.
folder_windows='C:\Program Files\Tabulon'
folder="$prefix/drive_c/Program Files/Tabulon"
case $width in
    32) ;;
    64) [ -n "$x86_package" ] || { echo "usage: width 64 needs TB.dll and X86_PACKAGE" >&2; exit 2; }
        folder32_windows='C:\Program Files (x86)\Tabulon'
        folder32="$prefix/drive_c/Program Files (x86)/Tabulon" ;;
    *) echo "width is 32 or 64, not '$width'" >&2; exit 2 ;;
esac

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
# Every value under HKLM\Software\Classes of a key that names the class, library,
# interface or ProgID, as system.reg holds it: one "VIEW [KEY] VALUE" line each,
# sorted, without write times. VIEW is the registry view, 32 or 64: a 64-bit prefix
# keeps the 32-bit one under Software\Classes\Wow6432Node (taken off the key), a
# 32-bit prefix has only that one; "shared" is the type library's key, one for both
# views, in Wine as on Windows 7 and later. Install folders read <folder> (Program
# Files) and <folder (x86)>.
registration() {
    awk -v RS= -v own="$width" -v ids="$clsid $libid $iid $progid" '
        BEGIN {
            n = split(tolower(ids), id, " ")
            classes = "[software\\\\classes\\\\"
            wow = classes "wow6432node\\\\"
        }
        {
            text = tolower($0)
            if (index(text, classes) != 1 || index(text, classes "installer\\\\") == 1) next
            for (i = 1; i <= n && !index(text, id[i]); i++) {}
            if (i > n) next
            view = own
            if (index(text, wow) == 1) {
                view = 32
                $0 = substr($0, 1, length(classes)) substr($0, length(wow) + 1)
                text = tolower($0)
            }
            if (index(text, classes "typelib\\\\") == 1) view = "shared"
            lines = split($0, line, "\n")
            key = line[1]
            sub(/ [0-9]+$/, "", key)
            for (j = 2; j <= lines; j++) if (line[j] !~ /^#time=/) print view " " key " " line[j]
        }' "$prefix/system.reg" |
        sed -E 's/C:\\\\Program Files( \(x86\))?\\\\Tabulon\\\\/<folder\1>\\\\/Ig' | LC_ALL=C sort
}
# names_dll FILE VIEW FOLDER PLATFORM: in FILE (a registration), the class's server in
# VIEW and the library's path under its PLATFORM key (win32, win64) are FOLDER\TB.dll.
names_dll() {
    local value="@=\"$3\\\\TB.dll\""
    grep -qixF "$2 [Software\\\\Classes\\\\CLSID\\\\$clsid\\\\InprocServer32] $value" "$1" &&
        grep -qixF "shared [Software\\\\Classes\\\\TypeLib\\\\$libid\\\\1.0\\\\0\\\\$4] $value" "$1"
}
# Add/Remove Programs, one "{code}|||name" line a product (Wine 10's uninstaller
# writes the list to standard error).
listed() { run uninstaller --list 2>&1 | tr -d '\r' | grep '|||Tabulon$' || true; }
cached_packages() { find "$prefix/drive_c/windows/Installer" -maxdepth 1 -iname '*.msi' 2>/dev/null | wc -l; }
install() {
    local log=$work/$2.log start rc=0
    start=$(date +%s%N)
    run msiexec /i "$(windows_path "$1")" /qn /norestart /l*v "$(windows_path "$log")" >/dev/null || rc=$?
    echo "$rc $(seconds_since "$start")"
}
# Every DLL of the package where it belongs, byte for byte the built one.
check_files() {
    cmp -s "$tb" "$folder/TB.dll" || fail "$1: $folder_windows\\TB.dll is missing or not the built $width-bit TB.dll"
    [ "$width" = 32 ] || cmp -s "$tb32" "$folder32/TB.dll" ||
        fail "$1: $folder32_windows\\TB.dll is missing or not the built 32-bit TB.dll"
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
packages=("$package")
if [ "$width" = 64 ]; then
    x86_product=$(property "$x86_package" ProductCode)
    [ "$(property "$x86_package" ProductVersion)" = "$version" ] &&
        [ "$(property "$x86_package" UpgradeCode)" = "$upgrade_code" ] && [ "$x86_product" != "$product" ] ||
        fail "the x86 package needs the same version and upgrade code and a product code of its own"
    packages+=("$x86_package")
fi
# The registry rows do the registering: no DLL code runs during installation.
for p in "${packages[@]}"; do
    for table in SelfReg CustomAction; do
        rows=$(msiinfo export "$p" "$table" 2>/dev/null | tail -n +4)
        [ -z "$rows" ] || fail "$(basename "$p") has $table rows:"$'\n'"$rows"
    done
done

echo "== a fresh prefix in $prefix"
# Each run starts from a copy of a pristine prefix with the test shell registered, made
# once: a copy takes a second, a 64-bit wineboot some twenty.
template=$prefix-template
if [ ! -f "$template/.tabulon-msi-template" ]; then
    rm -rf "$template" "$template.lock"
    "$root/cmake/wine-run.sh" "$width" "$template" wineserver -w
    "$root/tools/testshell/install-in-prefix.sh" "$width" "$template" "$testshell"
    touch "$template/.tabulon-msi-template"
fi
fresh_prefix() {
    run wineserver -k 2>/dev/null || true
    rm -rf "$prefix" "$prefix.lock"
    cp -a "$template" "$prefix"
    rm "$prefix/.tabulon-msi-template"
    [ "$(cached_packages)" = 0 ] || fail "the fresh prefix already holds cached packages"
}
rm -rf "$work"
mkdir -p "$work"
cat "$root/tests/support/script_checks.vbs" "$client_vbs" >"$work/late_bound_client.vbs"
client_vbs=$work/late_bound_client.vbs
fresh_prefix

if [ "$width" = 64 ]; then
    echo "== msiexec /i $(basename "$x86_package") /qn /norestart"
    read -r rc took < <(install "$x86_package" install-x86)
    [ "$rc" = 0 ] || fail "msiexec /i exited $rc; log: $work/install-x86.log"
    cmp -s "$tb32" "$folder32/TB.dll" || fail "the x86 package did not put TB.dll in $folder32_windows"
    [ ! -e "$folder" ] || fail "the x86 package made $folder_windows"
    [ "$(listed)" = "$x86_product|||Tabulon" ] || fail "Add/Remove Programs lists: '$(listed)'"
    pass "in $took s: TB.dll in $folder32_windows"
fi

echo "== msiexec /i $(basename "$package") /qn /norestart"
read -r rc took < <(install "$package" install)
[ "$rc" = 0 ] || fail "msiexec /i exited $rc; log: $work/install.log"
pass "installed in $took s ($(stat -c %s "$package") bytes)"
check_files "installed"
[ "$width" = 32 ] || pass "TB.dll in $folder_windows (64-bit) and $folder32_windows (32-bit)"
[ "$width" = 64 ] || pass "TB.dll is in $folder_windows"
[ "$(cached_packages)" = 1 ] || fail "Windows Installer keeps $(cached_packages) packages, not 1"

# check_registration WHEN [upgrade]: each DLL is the class's server in its own view.
# Windows removes the package a major upgrade replaces before it writes its own
# values. Wine 10's msiexec, removing a package with 32-bit values, deletes the
# 32-bit view's whole CLSID key (Wine 8 does not): the new package's 32-bit values
# then land in the 64-bit view. After an upgrade the run says so; a plain install in
# a fresh prefix at the end must write them.
check_registration() {
    flush_registry
    registration >"$work/msi.reg"
    names_dll "$work/msi.reg" "$width" '<folder>' "win$width" ||
        fail "$1: no $folder_windows\\TB.dll in the $width-bit view:"$'\n'"$(cat "$work/msi.reg")"
    if [ "$width" = 64 ] && ! names_dll "$work/msi.reg" 32 '<folder (x86)>' win32; then
        local wine
        wine=$(run --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\).*/\1/p')
        [ "${2:-}" = upgrade ] && [ "${wine:-0}" -ge 10 ] ||
            fail "$1: no $folder32_windows\\TB.dll in the 32-bit view:"$'\n'"$(cat "$work/msi.reg")"
        echo "known: Wine $wine's msiexec lost the 32-bit view's CLSID key in the upgrade"
    fi
    pass "$1: $(wc -l <"$work/msi.reg") registry values name the plug-in"
}
check_registration "installed" upgrade
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
[ "$width" = 32 ] || pass "the x64 package replaced the x86 package of the same version"
pass "Add/Remove Programs lists Tabulon $version by Quenlar, without modify and repair"

check_plugin_works "installed"

echo "== msiexec /i $(basename "$newer") /qn /norestart (upgrade to $newer_version)"
read -r rc took < <(install "$newer" upgrade)
[ "$rc" = 0 ] || fail "the upgrade exited $rc; log: $work/upgrade.log"
pass "upgraded in $took s"
entries=$(listed)
[ "$entries" = "$newer_product|||Tabulon" ] ||
    fail "after the upgrade Add/Remove Programs lists: '${entries:-nothing}'"
run reg query "$uninstall_key\\$newer_product" /v DisplayVersion | tr -d '\r' |
    grep -qE "REG_SZ +$newer_version$" || fail "the entry does not show version $newer_version"
[ "$(cached_packages)" = 1 ] || fail "after the upgrade Windows Installer keeps $(cached_packages) packages"
check_files "upgraded"
check_registration "upgraded" upgrade
pass "one entry, Tabulon $newer_version"
check_plugin_works "upgraded"

echo "== msiexec /i $(basename "$package") /qn /norestart (downgrade)"
read -r rc took < <(install "$package" downgrade)
# Windows refuses with 1603; Wine's msiexec exits 67.
[ "$rc" = 1603 ] || [ "$rc" = 67 ] || fail "the downgrade exited $rc, not 1603 (Windows) or 67 (Wine)"
grep -q "WIX_DOWNGRADE_DETECTED = $newer_product" "$work/downgrade.log" ||
    fail "the downgrade failed, but not because a newer version is installed; log: $work/downgrade.log"
[ "$(listed)" = "$newer_product|||Tabulon" ] || fail "the refused downgrade changed Add/Remove Programs"
check_files "after the refused downgrade"
pass "refused (exit code $rc), $newer_version stays"

# Removal as Add/Remove Programs does it: the entry's own command, made silent.
uninstall=$(run reg query "$uninstall_key\\$newer_product" /v UninstallString | tr -d '\r' |
    sed -n 's/^ *UninstallString *REG_[A-Z_]* *//p')
[[ ${uninstall,,} == "msiexec.exe /x${newer_product,,}" ]] ||
    fail "the entry's UninstallString is '$uninstall', not msiexec /x with the product code"
echo "== $uninstall /qn /norestart"
start=$(date +%s%N)
rc=0
# shellcheck disable=SC2086
run $uninstall /qn /norestart /l*v "$(windows_path "$work/remove.log")" || rc=$?
took=$(seconds_since "$start")
[ "$rc" = 0 ] || fail "msiexec /x exited $rc; log: $work/remove.log"
pass "removed in $took s"
for f in "$folder" ${folder32:+"$folder32"}; do
    [ ! -e "$f/TB.dll" ] || fail "$f/TB.dll is still there"
    [ ! -e "$f" ] || fail "$f is still there"
done
[ -z "$(listed)" ] || fail "Add/Remove Programs still lists: $(listed)"
[ "$(cached_packages)" = 0 ] || fail "the cached package is still in C:\\windows\\Installer"
pass "files, folders, entry and cached package are gone"
flush_registry
products=("$product" "$newer_product" ${x86_product:+"$x86_product"})
patterns=(-e "$clsid" -e "$libid" -e "$iid" -e "$progid" -e "$upgrade_code" -e "$(packed "$upgrade_code")")
for p in "${products[@]}"; do patterns+=(-e "$p" -e "$(packed "$p")"); done
left=$(grep -n -i -F "${patterns[@]}" "$prefix/system.reg" "$prefix/user.reg" || true)
[ -z "$left" ] || fail "registry lines that name the plug-in are left:"$'\n'"$left"
pass "no registry line names the plug-in, in either view"
grep -q '^\[Software\\\\VB and VBA Program Settings\\\\Vantorel\\\\Tabulon\]' "$prefix/user.reg" ||
    fail "the removal took the user's settings"
pass "the user's settings stay"

if [ "$width" = 64 ]; then
    echo "== msiexec /i $(basename "$package") /qn /norestart, in a fresh prefix"
    fresh_prefix
    read -r rc took < <(install "$package" plain)
    [ "$rc" = 0 ] || fail "msiexec /i exited $rc; log: $work/plain.log"
    check_registration "a plain install"
    echo "== msiexec /i $(basename "$x86_package") /qn /norestart in a fresh prefix, then"
    fresh_prefix
    read -r rc took < <(install "$x86_package" reinstall-x86)
    [ "$rc" = 0 ] || fail "msiexec /i exited $rc; log: $work/reinstall-x86.log"
fi
echo "== $width-bit regsvr32 of the same TB.dll in $folder_windows"
mkdir -p "$folder"
cp "$tb" "$folder/TB.dll"
run regsvr32 /s "$folder_windows\\TB.dll" || fail "regsvr32 exited $?"
flush_registry
registration >"$work/regsvr32.reg"
[ "$width" = 32 ] && by="regsvr32" || by="the x86 package and then 64-bit regsvr32"
diff -u "$work/regsvr32.reg" "$work/msi.reg" >"$work/registration.diff" ||
    fail "the package's registry values differ from those of $by (- $by, + package):"$'\n'"$(cat "$work/registration.diff")"
pass "the package's registry values are exactly those of $by"
echo "msi package: all steps passed"
