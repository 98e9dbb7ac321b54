#!/usr/bin/env bash
# Pictures of the three windows at 96 and 120 dots per inch, as PNG files in
# docs/screenshots. Runs them for real: Wine's X11 driver on a private Xvfb
# display, in a prefix of its own (the test prefixes use the null driver).
#   scripts/screenshots.sh [BUILD_FOLDER]   (default: build/win32; build/win64 works too)
# Needs xvfb, ImageMagick's convert and Wine's fonts; it installs them when missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd)
out=$root/docs/screenshots
mkdir -p "$out"

# Wine draws the caption buttons with its Marlett font and the title labels in its
# Tahoma, both from fonts-wine; without them the close button shows as a letter "r".
"$root/scripts/install-deps.sh" xvfb imagemagick fonts-wine
wine_fonts=/usr/share/wine/fonts
cmake --build "$build" --target ui_gallery -j2 >/dev/null
gallery=$build/tools/gallery/ui_gallery.exe

# Wine of the build's width, its loader and server by path (cmake/build-machine.paths).
width=$("$root/cmake/build-width.sh" "$build")
. "$root/cmake/build-machine.paths"
loader_var=WINE_LOADER_$width server_var=WINE_SERVER_$width
wine() { "${!loader_var}" "$@"; }
wineserver() { "${!server_var}" "$@"; }
export WINELOADER=${!loader_var} WINESERVER=${!server_var}
export WINEPREFIX=$build/screenshot-prefix
export WINEARCH=win$width
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# A free display number.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
work=$(mktemp -d)
cleanup() {
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done

if [ ! -f "$WINEPREFIX/.tabulon-screenshots" ]; then
    rm -rf "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
    # Wine draws the frames itself: there is no window manager on the display.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.tabulon-screenshots"
fi
# Debian's Wine 8 does not look in fonts-wine's folder, but it loads every font in
# the prefix's own Fonts folder.
cp -u "$wine_fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"

windows_work="Z:$(echo "$work" | tr / '\\')"
for dpi in 96 120; do
    # Wine reads the resolution when a program starts.
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine "$gallery" "$windows_work" "${dpi}dpi"
    for name in picker options about; do
        # No time stamps: a picture that did not change stays the same file.
        convert "$work/$name-${dpi}dpi.bmp" -define png:exclude-chunks=date,time \
            "$out/$name-${dpi}dpi.png"
    done
done
ls -1 "$out"/*.png
