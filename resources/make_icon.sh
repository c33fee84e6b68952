#!/bin/sh
# resources/make_icon.sh: draws lumtest.ico (16, 32 and 48 pixels) with ImageMagick: signal bars on a blue disc.
# The icon is committed; run this only to change it.
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
  "$tmp/big.png"
for size in 16 32 48; do
  convert "$tmp/big.png" -resize ${size}x${size} "$tmp/icon-$size.png"
done
convert "$tmp/icon-16.png" "$tmp/icon-32.png" "$tmp/icon-48.png" lumtest.ico
