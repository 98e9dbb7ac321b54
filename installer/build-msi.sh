#!/usr/bin/env bash
# Builds a Windows Installer package of TB.dll from installer/tabulon.wxs:
#   build-msi.sh x86 VERSION OUTPUT.msi TB.dll              for 32-bit Windows
#   build-msi.sh x64 VERSION OUTPUT.msi TB.dll TB64.dll     for 64-bit Windows
# TB.dll is the 32-bit DLL (for the host), TB64.dll the 64-bit one (for 64-bit
# scripts). VERSION is the product version, three numbers (1.1.0).
#
# The same inputs give the same bytes: wixl runs on a clock stopped at
# SOURCE_DATE_EPOCH (default: the time of the last commit; 1980-01-01 at the earliest,
# where cabinet dates begin), the DLLs get that date in the cabinet, and the two
# codes wixl would draw at random are derived instead. The product code follows from
# the version and platform alone: a package of the same version is the same product,
# which Windows Installer refuses to install twice rather than listing it twice. The
# package code follows from everything that goes into the package.
#
# wixl reads no version resources, so it writes each DLL into the File table as an
# unversioned file with a hash; Windows Installer would then keep an older TB.dll
# that was copied in by hand. Each row gets its DLL's file version and language
# instead, and the hashes, meant for unversioned files only, go.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() {
    echo "usage: $0 x86 VERSION OUTPUT.msi TB.dll" >&2
    echo "       $0 x64 VERSION OUTPUT.msi TB.dll TB64.dll" >&2
    exit 2
}
[ $# -ge 4 ] || usage
platform=$1 version=$2 out=$(realpath -m "$3")
case $platform in
    x86) [ $# -eq 4 ] || usage; widths=(32) template='Intel;1033' product_name="Tabulon product $version" ;;
    x64) [ $# -eq 5 ] || usage; widths=(32 64) template='x64;1033' product_name="Tabulon product $version x64" ;;
    *) usage ;;
esac
dlls=("$(realpath "$4")")
[ $# -eq 5 ] && dlls+=("$(realpath "$5")")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-msi: version $version is not N.N.N" >&2; exit 2; }
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 0)}
# A cabinet keeps MS-DOS dates, which begin in 1980 (an earlier one comes back as 2098).
dos_epoch=$(date -u -d 1980-01-01 +%s)
file_epoch=$((epoch > dos_epoch ? epoch : dos_epoch))
export TZ=UTC

# A name-based GUID: the first 128 bits of the text's SHA-256 with the RFC 4122
# version (5) and variant bits set.
derived_guid() {
    local h
    h=$(printf '%s' "$1" | sha256sum | cut -c1-32 | tr a-f A-F)
    local variant=$(((16#${h:16:1} & 3) | 8))
    printf '%s-%s-5%s-%X%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" "$variant" "${h:17:3}" "${h:20:12}"
}

# "VERSION LANGUAGE" of a DLL's version resource: FILEVERSION's four numbers and the
# language of its first Translation, in decimal (1.1.0.0 1033).
version_resource() {
    perl -0777 -ne '
        sub utf16 { join "", map { "$_\0" } split //, "$_[0]\0" }
        # A block is its header (6 bytes), its UTF-16 name and padding to 4 bytes; the
        # resource data is 4-aligned in the file, so the file offset tells the padding.
        sub value_at { my $at = index($_, utf16($_[0]), $_[1]); return -1 if $at < 0;
                       ($at + length(utf16($_[0])) + 3) & ~3 }
        my $fixed = value_at("VS_VERSION_INFO", 0);
        my $translation = $fixed < 0 ? -1 : value_at("Translation", $fixed);
        die "no version resource\n" if $fixed < 0 || $translation < 0;
        my ($signature, undef, $ms, $ls) = unpack "V4", substr($_, $fixed, 16);
        die "no VS_FIXEDFILEINFO\n" unless $signature == 0xFEEF04BD;
        printf "%d.%d.%d.%d %d\n", $ms >> 16, $ms & 0xFFFF, $ls >> 16, $ls & 0xFFFF,
               unpack("v", substr($_, $translation, 2));
    ' "$1"
}

product_code=$(derived_guid "$product_name")
inputs=$(cat "$here/tabulon.wxs" "$here/tb-component.wxi" "$here/build-msi.sh" "${dlls[@]}" |
    sha256sum | cut -d' ' -f1)
package_code=$(derived_guid "Tabulon package $version $platform $inputs")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# wixl takes relative Source paths only: it runs in the folder that holds 32/TB.dll
# and 64/TB.dll. The File table's rows are TB.dll and TB64.dll.
queries=()
for i in "${!widths[@]}"; do
    width=${widths[$i]} dll=${dlls[$i]}
    mkdir "$stage/$width"
    cp "$dll" "$stage/$width/TB.dll"
    touch -d "@$file_epoch" "$stage/$width/TB.dll"
    read -r file_version language < <(version_resource "$dll") ||
        { echo "build-msi: $dll has no version resource" >&2; exit 1; }
    [ "$width" = 32 ] && row=TB.dll || row=TB64.dll
    queries+=(-q "UPDATE \`File\` SET \`Version\` = '$file_version', \`Language\` = '$language' WHERE \`File\` = '$row'")
done
# A cabinet keeps DOS dates, which start in 1980; Debian 12's wixl dates the cabinet's
# files by their times, newer ones by the clock (or SOURCE_DATE_EPOCH): all three
# get the clamped time.
clock=$(date -d "@$file_epoch" '+%Y-%m-%d %H:%M:%S')
(
    cd "$stage"
    SOURCE_DATE_EPOCH=$file_epoch faketime -f "$clock" wixl -a "$platform" \
        -D Platform="$platform" -D Version="$version" \
        -D ProductCode="$product_code" -o tabulon.msi "$here/tabulon.wxs"
    # The upgrade row takes in its own version too (maximum inclusive, 512): a
    # package replaces the other platform's package of the same version on 64-bit
    # Windows rather than being listed beside it. (Its attributes are part of the
    # table's key, which SQL cannot update: the table is imported again.)
    msiinfo export tabulon.msi Upgrade |
        awk -F'\t' -v OFS='\t' -v ORS='\r\n' '{ sub(/\r$/, "") }
            NR > 3 && $7 == "WIX_UPGRADE_DETECTED" && int($5 / 512) % 2 == 0 { $5 += 512 } 1' >Upgrade.idt
    # Versions in, hashes out; title, author and template as wixl writes them; the
    # package code in place of the random one.
    faketime -f "$clock" msibuild tabulon.msi "${queries[@]}" -q 'DROP TABLE `MsiFileHash`' -i Upgrade.idt \
        -s "Tabulon $version" Quenlar "$template" "{$package_code}"
)
mkdir -p "$(dirname "$out")"
mv "$stage/tabulon.msi" "$out"
