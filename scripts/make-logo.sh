#!/usr/bin/env bash
# Draws the Tabulon logo and writes it as assets/logo.jpg: a 118 x 73 baseline
# JFIF 1.01 file, 72 dots per inch on both axes, three components, exactly 3,382
# bytes (the size the dialogs' layout and the component's resource were made
# for). Needs ImageMagick's convert and cjpeg (libjpeg-turbo-progs).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/assets/logo.jpg}
target=3382
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A browser window with three tabs and a globe on a pale sky.
convert -size 118x73 gradient:'#d8ecff'-'#ffffff' \
    -fill '#ffffff' -stroke '#1f5fbf' -strokewidth 2 \
    -draw 'roundrectangle 6,16 111,68 5,5' \
    -fill '#1f5fbf' -stroke none -draw 'rectangle 7,24 110,26' \
    -fill '#ff8000' -draw 'roundrectangle 10,6 38,18 3,3' \
    -fill '#00c000' -draw 'roundrectangle 42,6 70,18 3,3' \
    -fill '#ff0000' -draw 'roundrectangle 74,6 102,18 3,3' \
    -fill '#9fd0ff' -stroke '#1f5fbf' -strokewidth 2 -draw 'circle 36,47 36,33' \
    -fill none -draw 'ellipse 36,47 6,14 0,360' -draw 'line 22,47 50,47' \
    -draw 'line 25,39 47,39' -draw 'line 25,55 47,55' \
    -stroke '#0000ff' -strokewidth 3 -draw 'line 60,36 102,36' \
    -stroke '#00c000' -draw 'line 60,47 94,47' \
    -stroke '#ff0000' -draw 'line 60,58 98,58' \
    -depth 8 "$work/logo.ppm"

# The best quality that still leaves room for a comment segment (4 bytes at least).
for quality in $(seq 95 -1 20); do
    cjpeg -baseline -quality "$quality" -outfile "$work/logo.jpg" "$work/logo.ppm"
    size=$(stat -c %s "$work/logo.jpg")
    [ "$size" -le $((target - 4)) ] && break
done
[ "$size" -le $((target - 4)) ] || { echo "make-logo: picture too big" >&2; exit 1; }

# cjpeg writes JFIF 1.01 with an aspect ratio only (units 0, 1:1). Set 72 dpi:
# units 1 at offset 13, X and Y density (big-endian) at 14 and 16.
jfif=$(head -c 11 "$work/logo.jpg" | tail -c 5 | od -An -c | tr -d ' ')
[ "$jfif" = 'JFIF\0' ] || { echo "make-logo: no JFIF header" >&2; exit 1; }
printf '\001\000\110\000\110' | dd of="$work/logo.jpg" bs=1 seek=13 conv=notrunc status=none

# A comment segment after the 20-byte header (SOI + APP0) pads to the exact size.
pad=$((target - size))
seglen=$((pad - 2))
{
    head -c 20 "$work/logo.jpg"
    printf "\\377\\376\\$(printf %03o $((seglen >> 8)))\\$(printf %03o $((seglen & 255)))"
    printf 'Tabulon logo%*s' $((pad - 4 - 12 > 0 ? pad - 4 - 12 : 0)) '' | head -c $((pad - 4))
    tail -c +21 "$work/logo.jpg"
} > "$out"

[ "$(stat -c %s "$out")" -eq "$target" ] || { echo "make-logo: wrong size" >&2; exit 1; }
echo "make-logo: $out ($target bytes, quality $quality)"
