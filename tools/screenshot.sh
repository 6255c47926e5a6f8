#!/usr/bin/env bash
# Makes the README's screenshot: the viewer showing a sample picture in a folder of three, on a
# virtual screen, cropped to the window. Usage: tools/screenshot.sh [OUTPUT.png] (default
# docs/screenshot.png). Builds the viewer first (see tools/run.sh).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
out=${1:-docs/screenshot.png}
tools/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target QuellinImg
work=$(mktemp -d)
data=$(mktemp -d)
trap 'rm -rf "$work" "$data"' EXIT
# A landscape drawn by ImageMagick: sky, sun, two hills, a lake; and two plainer neighbours.
convert -size 1800x1200 gradient:'#6FA8E8-#F4D9A6' \
  -fill '#FFD25A' -draw 'circle 1320,330 1320,230' \
  -fill '#5E8F4E' -draw 'ellipse 450,1150 900,420 180,360' \
  -fill '#3F6E3A' -draw 'ellipse 1400,1200 900,480 180,360' \
  -fill '#4B86B8' -draw 'ellipse 900,1180 520,90 180,360' \
  -attenuate 0.25 +noise Gaussian -quality 92 "$work/lake at dusk.jpg"
convert -size 1200x800 gradient:'#2F6FDE-#9FC3F5' "$work/blue hour.jpg"
convert -size 900x1200 gradient:'#F0A040-#803020' "$work/tall sunset.png"
printf '[app]\r\nlast_position=80_60_1180_800\r\ntoolbar_dock=1\r\n' > "$data/config.ini"
source tools/wine-env.sh
export QUELLIN_DATA_DIR="Z:${data//\//\\}"
ql_env_start
trap 'ql_env_stop; rm -rf "$work" "$data"' EXIT
tools/wine-run.sh build/x64/bin/QuellinImg.exe "Z:${work//\//\\}\\lake at dusk.jpg" &
pid=$!
sleep "${QL_SHOT_DELAY:-6}"
geometry=$(xwininfo -root -tree | grep -F '"lake at d' | head -1 | grep -oE '[0-9]+x[0-9]+\+[0-9]+\+[0-9]+' | head -1)
if [ -z "$geometry" ]; then echo "The viewer's window did not appear" >&2; kill "$pid" 2>/dev/null; exit 1; fi
mkdir -p "$(dirname "$out")"
# The region clips the sizing frame; what lies outside it is the black screen, trimmed away.
import -window root "$work/screen.png"
convert "$work/screen.png" -crop "$geometry" +repage -bordercolor black -border 1 -trim +repage \
  -define png:exclude-chunks=date,time "$out"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "Screenshot: $out ($geometry)"
