#!/usr/bin/env bash
# Regenerates AdminCheck.ico, and the preview icon-preview.png, from icon.mvg
# (the drawing) and icon-16.xpm (the hand-set 16 x 16 pixels). Needs Debian's
# imagemagick and icoutils; the build itself needs neither. The images, in the
# order the icon lists them:
#   32 and 16 pixels with 16 colours; 48, 32 and 16 with 256 colours;
#   256 as PNG, 64, 48, 32 and 16 in 32-bit colour with alpha.
set -euo pipefail
cd "$(dirname "$0")"

for tool in convert icotool; do
    command -v $tool >/dev/null || {
        echo "make-icon: needs $tool: apt-get install imagemagick icoutils" >&2
        exit 1
    }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# PNGs are written without time stamps, so that the same sources give the same bytes.
# shellcheck disable=SC2054 # the commas belong to the option's value
no_stamps=(-strip -define png:exclude-chunks=date,time)

# Reads $1, quantises it to $2 colours plus full transparency, writes $3.
palette() {
    convert "$1" -channel A -threshold 50% +channel -background black -alpha background \
        +dither -colors "$2" "${no_stamps[@]}" "PNG32:$3"
}

convert -size 256x256 xc:none -draw "$(grep -v '^#' icon.mvg)" "${no_stamps[@]}" PNG32:$work/256.png
for size in 64 48 32; do
    convert $work/256.png -filter Lanczos -resize ${size}x$size "${no_stamps[@]}" PNG32:$work/$size.png
done
convert icon-16.xpm "${no_stamps[@]}" PNG32:$work/16.png

palette $work/32.png 15 $work/32-4.png
palette $work/16.png 15 $work/16-4.png
for size in 48 32 16; do palette $work/$size.png 255 $work/$size-8.png; done

icotool -c -o AdminCheck.ico \
    -b 4 $work/32-4.png -b 4 $work/16-4.png \
    -b 8 $work/48-8.png -b 8 $work/32-8.png -b 8 $work/16-8.png \
    -r $work/256.png \
    -b 32 $work/64.png -b 32 $work/48.png -b 32 $work/32.png -b 32 $work/16.png

# The preview shows every image of the icon as stored, side by side.
icotool -x -o $work AdminCheck.ico
images=()
for i in $(seq 10); do images+=("$work"/AdminCheck_"$i"_*.png); done
convert -background none "${images[@]}" \
    -gravity south +append "${no_stamps[@]}" PNG32:icon-preview.png
