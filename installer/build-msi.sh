#!/usr/bin/env bash
# Builds the Windows Installer package of TB.dll from installer/tabulon.wxs:
#   build-msi.sh TB.dll VERSION OUTPUT.msi
# VERSION is the product version, three numbers (1.1.0). The same inputs give the
# same bytes: wixl runs on a clock stopped at SOURCE_DATE_EPOCH (default: the
# time of the last commit), TB.dll gets that date in the cabinet, and the two
# codes wixl would draw at random are derived instead. The product code follows
# from the version alone: a package of the same version is the same product, which
# Windows Installer refuses to install twice rather than listing it twice. The
# package code follows from everything that goes into the package.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 3 ] || { echo "usage: $0 TB.dll VERSION OUTPUT.msi" >&2; exit 2; }
dll=$(realpath "$1")
version=$2
out=$(realpath -m "$3")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-msi: version $version is not N.N.N" >&2; exit 2; }
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 0)}
export TZ=UTC

# A name-based GUID: the first 128 bits of the text's SHA-256 with the RFC 4122
# version (5) and variant bits set.
derived_guid() {
    local h
    h=$(printf '%s' "$1" | sha256sum | cut -c1-32 | tr a-f A-F)
    local variant=$(((16#${h:16:1} & 3) | 8))
    printf '%s-%s-5%s-%X%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" "$variant" "${h:17:3}" "${h:20:12}"
}

product_code=$(derived_guid "Tabulon product $version")
inputs=$(cat "$here/tabulon.wxs" "$here/build-msi.sh" "$dll" | sha256sum | cut -d' ' -f1)
package_code=$(derived_guid "Tabulon package $version $inputs")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# wixl takes relative Source paths only: it runs in the folder that holds TB.dll.
cp "$dll" "$stage/TB.dll"
touch -d "@$epoch" "$stage/TB.dll"
clock=$(date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
(
    cd "$stage"
    faketime "$clock" wixl -D Version="$version" -D ProductCode="$product_code" \
        -o tabulon.msi "$here/tabulon.wxs"
    # Title, author and template as wixl writes them; the package code in place of
    # the random one.
    faketime "$clock" msibuild tabulon.msi -s "Tabulon $version" Quenlar "Intel;1033" "{$package_code}"
)
mkdir -p "$(dirname "$out")"
mv "$stage/tabulon.msi" "$out"
