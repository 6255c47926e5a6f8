#!/bin/sh
# Draws the application icon (a picture frame with hills and a sun on a blue tile) and writes it
# as a multi-size .ico. Usage: make_app_icon.sh OUTPUT.ico
set -eu
out=$1
mkdir -p "$(dirname "$out")"
convert -size 256x256 xc:none \
  -fill '#2F6FDE' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill white -draw 'roundrectangle 40,60 215,195 14,14' \
  -fill '#2F6FDE' -draw 'polygon 54,182 106,112 140,152 166,128 202,182' \
  -fill '#FFB92E' -draw 'circle 170,96 170,78' \
  -depth 8 -define icon:auto-resize=256,48,32,24,16 "$out"
