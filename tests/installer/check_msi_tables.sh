#!/usr/bin/env bash
# What Windows Installer reads from the packages, read back without Wine:
#   check_msi_tables.sh FILE_VERSION build-msi.sh TB.dll PACKAGE...
# Each PACKAGE is named tabulon-VERSION-x86.msi or -x64.msi. For each: the summary's
# platform and the components' widths agree with it; every File row carries
# FILE_VERSION and language 1033, as TB.dll's version resource says, and no file hash
# (Windows would otherwise treat TB.dll as unversioned); the cabinet dates its files
# at the package's build time, never before 1980. Then build-msi.sh on a clock at 1970
# must give a cabinet dated 1980-01-01, and the same bytes twice.
set -eu
export TZ=UTC
file_version=$1 build_msi=$2 tb32=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
# A table's rows, tab-separated, without the three header lines.
rows() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }
dos_epoch=$(date -d 1980-01-01 +%s)

# The files of the package's cabinet with their dates, "NAME YYYY-MM-DD HH:MM:SS".
cabinet_dates() {
    local stream
    stream=$(rows "$1" Media | cut -f4 | sed -n 's/^#//p')
    [ -n "$stream" ] || return 1
    msiinfo extract "$1" "$stream" >"$work/cabinet.cab"
    gcab -l -v "$work/cabinet.cab" | awk '{print $1, $3, $4}'
}

check_package() {
    local package=$1 name platform template expected_files files created built dates before=$failures
    name=$(basename "$package")
    case $name in
        *-x86.msi) platform=x86 template='Intel;1033' expected_files='TB.dll' ;;
        *-x64.msi) platform=x64 template='x64;1033' expected_files='TB.dll TB64.dll' ;;
        *) fail "$name: not named for a platform (-x86.msi, -x64.msi)"; return ;;
    esac

    # Windows Installer refuses an x64 package on 32-bit Windows, and installs a
    # component to the 64-bit folder and registry view only when it is marked 64-bit.
    local summary mismatched
    summary=$(msiinfo suminfo "$package")
    [ "$(sed -n 's/^Template: //p' <<<"$summary")" = "$template" ] ||
        fail "$name: the summary's template is not $template"
    mismatched=$(awk -F'\t' '
        NR == FNR { parent[$1] = $2; next }
        (int($4 / 256) % 2 == 1) != (parent[$3] == "ProgramFiles64Folder") {
            print $1 " (attributes " $4 ") in " $3 " under " parent[$3]
        }' <(rows "$package" Directory) <(rows "$package" Component))
    [ -z "$mismatched" ] || fail "$name: components of the wrong width for their folder: $mismatched"
    [ "$platform" = x64 ] || ! rows "$package" Directory | grep -q ProgramFiles64Folder ||
        fail "$name: an x86 package with a 64-bit folder"

    local file_rows wrong
    file_rows=$(rows "$package" File)
    files=$(cut -f1 <<<"$file_rows" | sort | xargs)
    [ "$files" = "$expected_files" ] || fail "$name: File rows are '$files', not '$expected_files'"
    wrong=$(awk -F'\t' -v v="$file_version" '$5 != v || $6 != "1033"' <<<"$file_rows")
    [ -z "$wrong" ] || fail "$name: File rows without version $file_version, language 1033:"$'\n'"$wrong"
    if msiinfo tables "$package" | tr -d '\r' | grep -qx MsiFileHash && [ -n "$(rows "$package" MsiFileHash)" ]; then
        fail "$name: MsiFileHash rows are left, for versioned files"
    fi

    # The build time, as a cabinet keeps it: from 1980 on, in steps of two seconds.
    created=$(date -d "$(sed -n 's/^Created: //p' <<<"$summary")" +%s)
    [ "$created" -gt "$dos_epoch" ] || created=$dos_epoch
    built=$(date -d "@$((created - created % 2))" '+%Y-%m-%d %H:%M:%S')
    dates=$(cabinet_dates "$package") || { fail "$name: no embedded cabinet"; return; }
    [ "$(cut -d' ' -f1 <<<"$dates" | sort | xargs)" = "$expected_files" ] ||
        fail "$name: the cabinet holds '$(cut -d' ' -f1 <<<"$dates" | xargs)'"
    wrong=$(awk -v d="$built" '$2 " " $3 != d' <<<"$dates")
    [ -z "$wrong" ] || fail "$name: cabinet dates other than $built:"$'\n'"$wrong"
    [ $failures -ne "$before" ] || pass "$name: $platform, File rows $files at $file_version/1033, no hashes, cabinet dated $built"
}

for package in "$@"; do check_package "$package"; done

# A package built on a clock before 1980, as one built outside git without
# SOURCE_DATE_EPOCH is.
before=$failures
for n in 1 2; do
    SOURCE_DATE_EPOCH=0 "$build_msi" x86 1.0.0 "$work/$n/tabulon-1.0.0-x86.msi" "$tb32" >/dev/null
done
dates=$(cabinet_dates "$work/1/tabulon-1.0.0-x86.msi")
[ "$dates" = "TB.dll 1980-01-01 00:00:00" ] || fail "a package built at 1970 dates its cabinet: $dates"
cmp -s "$work/1/tabulon-1.0.0-x86.msi" "$work/2/tabulon-1.0.0-x86.msi" ||
    fail "two packages from the same inputs differ"
[ $failures -ne "$before" ] || pass "built at 1970: the cabinet says 1980-01-01; twice the same bytes"

[ $failures -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "msi tables: all checks passed"
