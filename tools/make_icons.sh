#!/bin/bash
# Makes Savanto's icons from their SVG drawings in res/: each .ico holds the
# drawing at every size Windows asks for between 100 % and 400 % scaling
# (16, 20, 24, 32, 40, 48, 64 pixels) as 32-bit images with alpha, and at
# 256 pixels stored as PNG for Explorer's large views. The .ico files are
# committed; run this after changing a drawing.
# Needs librsvg2-bin (rsvg-convert) and icoutils (icotool).
# Usage: tools/make_icons.sh [OUTPUT_DIR]   (default: res/)
set -euo pipefail
res=$(cd "$(dirname "$0")/../res" && pwd)
out=${1:-$res}
sizes=(16 20 24 32 40 48 64)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for name in savanto playlist playlist_root; do
  pngs=()
  for size in "${sizes[@]}" 256; do
    rsvg-convert --width "$size" --height "$size" --output "$work/$name-$size.png" "$res/$name.svg"
    pngs+=("$work/$name-$size.png")
  done
  # Every size but the last as a 32-bit bitmap; the 256 one raw, as PNG.
  icotool --create --bit-depth=32 --output "$out/$name.ico" "${pngs[@]:0:${#sizes[@]}}" --raw="$work/$name-256.png"
done
