#!/usr/bin/env bash
# Peak working set of the viewer's drawing (imgprobe render) for a 6000 x 4000 JPEG, fitted to a
# 1280 x 800 view and zoomed in until every key frame exists, as a ratio to one full frame of the
# picture (6000 x 4000 x 4 bytes).
#   tools/bench_zoom_memory.sh [preset]      (default x64; needs the preset built)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-x64}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 6000x4000 gradient:'#305080'-'#d0a070' \( -size 6000x4000 xc:gray50 +noise Gaussian -colorspace gray \) \
  -compose overlay -composite -quality 90 "$work/photo.jpg"
source "$here/tools/wine-env.sh"
ql_env_start
trap 'ql_env_stop; rm -rf "$work"' EXIT
frame=$((6000 * 4000 * 4))
printf '%-40s %10s %8s %6s\n' "" "peak MB" "frames" "aim"
for case in "fitted:" "zoomed in:zoom:8:640:400"; do
  name=${case%%:*}
  ops=${case#*:}
  out=$("$here/tools/wine-run.sh" "$here/build/$preset/bin/imgprobe.exe" render "Z:${work//\//\\}\\photo.jpg" 1280 800 \
        "Z:${work//\//\\}\\shown.png" $ops)
  peak=$(printf '%s\n' "$out" | sed -n 's/^peak_working_set=\([0-9]*\).*/\1/p')
  awk -v p="$peak" -v f="$frame" -v n="$name" 'BEGIN {
    r = p / f; printf "%-40s %10.1f %7.2fx  3.00x %s\n", n, p / 1048576, r, (r <= 3 ? "ok" : "OVER") }'
done
