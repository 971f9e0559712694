#!/usr/bin/env bash
# Draws the icon of zetra recordings (.ztr) for the Windows installer: a sheet with a folded
# corner carrying the chart's two traces, at 16, 32, 48 and 256 pixels. Usage: make-recording-icon.sh OUT.ico
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Drawn once at 256 pixels (coordinates of a 64-unit sheet times 4), then scaled down.
convert -size 256x256 xc:none \
  -fill white -stroke '#2b3a55' -strokewidth 10 -draw "path 'M40,8 L168,8 L224,64 L224,248 L40,248 Z'" \
  -fill '#d8dce6' -draw "path 'M168,8 L168,64 L224,64 Z'" \
  -stroke none -fill '#ffffc0' -draw "rectangle 60,88 204,208" \
  -fill none -strokewidth 11 -stroke '#0000ff' \
  -draw "polyline 60,180 84,180 96,176 108,132 120,116 140,112 160,116 172,148 184,160 204,160" \
  -stroke '#00c000' \
  -draw "polyline 60,148 84,148 96,144 108,108 120,100 140,96 160,100 172,124 184,132 204,132" \
  "$work/256.png"
for size in 16 32 48; do convert "$work/256.png" -resize "${size}x${size}" "$work/$size.png"; done
convert "$work/16.png" "$work/32.png" "$work/48.png" "$work/256.png" "$out"
