#!/usr/bin/env bash
# Pictures of the setup's dialogs for the documentation: builds the stub and the picture
# program (tests/setup/screenshots_test.cpp), runs that under Wine inside a virtual desktop on a
# virtual display, so that Wine draws the windows' frames and captions, and writes every
# dialog in English and German as OUTPUT-FOLDER/NAME-LANGUAGE.png (default docs/screenshots),
# cropped to the window; then once more at 144 DPI, a display at 150 %, as
# NAME-LANGUAGE-144dpi.png. The program also checks that every text fits its control. Exit
# code 0 only when every picture was taken and every check passed; the pictures that were
# taken are written either way, to be looked at. About two minutes where Wine runs emulated,
# plus the build (the first run also makes its prefix: under a minute more).
#   scripts/screenshots.sh [OUTPUT-FOLDER]
#
# The run has a Wine prefix of its own, with the fonts Wine ships copied into its
# C:\windows\Fonts: the prefixes wineboot makes here have none there, so every dialog font
# falls back to a Linux font and the caption buttons, drawn with Marlett, show letters. The
# test suite's prefix stays as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
output=${1:-docs/screenshots}
readonly desktop=orvandel,1024x768
readonly run_limit=900 # seconds for each run under Wine (about a minute emulated)
readonly dpis=(96 144)  # Wine's own, and 150 %
readonly program=build/win32/tests/screenshots_test.exe
readonly work=build/win32/screenshots
readonly winefonts=/usr/share/wine/fonts
export WINEPREFIX=$PWD/build/win32/screenshots-prefix
. scripts/wine-env.sh

scripts/build.sh win32:stub,commandprobe,screenshots_test
# Wine's own fonts come with Debian's fonts-wine, which Wine only recommends.
if ! dpkg-query -W -f='${Status}' fonts-wine 2>/dev/null | grep -q "install ok installed"; then
    . scripts/apt-install.sh
    aptinstall fonts-wine
fi

if ! reason=$(scripts/win32-runnable.sh 2>&1); then
    echo "screenshots: Wine cannot run here: $reason" >&2
    exit 1
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout --foreground --kill-after=30 "$run_limit" scripts/wine-session.sh true
fi
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp -u "$winefonts"/* "$fonts"/

rm -rf "$work"
mkdir -p "$work"
status=0
for dpi in "${dpis[@]}"; do
    results="$work/results-$dpi.xml"
    run=0
    ORV_WINE_DPI=$dpi ORV_SCREENSHOTS=$(wine_path "$work") \
        timeout --foreground --kill-after=30 "$run_limit" \
        scripts/wine-exec.sh explorer "/desktop=$desktop" "$(wine_path "$program")" \
        "--gtest_output=xml:$(wine_path "$results")" || run=$?
    # The desktop's explorer does not hand on the program's exit code; its results file does.
    if [ "$run" -ne 0 ] || ! grep -q '<testsuites [^>]*failures="0"[^>]* errors="0"' \
        "$results" 2>/dev/null; then
        echo "screenshots: the picture program at $dpi DPI failed or did not finish" \
            "(see above)" >&2
        status=1
    fi
done

shopt -s nullglob
pictures=("$work"/*.bmp)
if [ ${#pictures[@]} -eq 0 ]; then
    echo "screenshots: no picture was taken" >&2
    exit 1
fi
mkdir -p "$output"
python3 scripts/bmp-to-png.py "$output" "${pictures[@]}"
echo "screenshots: ${#pictures[@]} pictures in $output"
exit $status
