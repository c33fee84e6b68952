#!/bin/sh
# resources/make_icon.sh: draws lumtest.ico (16, 20, 24, 32, 48 and 256 pixels) with ImageMagick: signal bars on a blue disc.
# The icon is committed; run this only to change it. Windows picks the image of the size it needs: 16 for
# the title bar and the taskbar at 100 % scaling, 20 and 24 at 125 % and 150 %, 32 and 48 for the big
# icon, 256 for large views in Explorer (kept as an 8-bit PNG inside the icon, as ImageMagick stores that size).
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none \
  -fill '#1f5fae' -draw 'circle 128,128 128,8' \
  -fill white -draw 'roundrectangle 58,150 86,196 6,6' \
  -draw 'roundrectangle 100,118 128,196 6,6' \
  -draw 'roundrectangle 142,86 170,196 6,6' \
  -fill '#7ed957' -draw 'roundrectangle 184,54 212,196 6,6' \
  "$tmp/icon-256.png"
images=
for size in 16 20 24 32 48; do
  convert "$tmp/icon-256.png" -resize ${size}x${size} "$tmp/icon-$size.png"
  images="$images $tmp/icon-$size.png"
done
# shellcheck disable=SC2086 # the list of images is meant to split
convert $images "$tmp/icon-256.png" -depth 8 -define png:exclude-chunks=date,time lumtest.ico
