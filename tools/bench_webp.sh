#!/usr/bin/env bash
# A 24-megapixel photo-like WebP decoded through CodecHost.dll as the viewer calls it, beside dwebp's
# own decode time of the same file (Debian's libwebp tools, the same library version).
#   tools/bench_webp.sh [preset]      (default x64; needs the preset built)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-x64}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Smooth colour fields with fine noise, like a camera's picture, lossy at the encoder's default.
convert -size 6000x4000 gradient:'#305080'-'#d0a070' \( -size 6000x4000 xc:gray50 +noise Gaussian -colorspace gray \) \
  -compose overlay -composite "$work/photo.png"
cwebp -quiet -q 80 "$work/photo.png" -o "$work/photo.webp"
rm -f "$work/photo.png"
times=()
for _ in 1 2 3 4 5; do
  t=$(dwebp -v "$work/photo.webp" -pam -o /dev/null 2>&1 | sed -n 's/^Time to decode picture: \([0-9.]*\)s.*/\1/p')
  times+=("$t")
done
dwebp_ms=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | awk '{printf "%.1f", $1 * 1000}')
source "$here/tools/wine-env.sh"
ql_env_start
trap 'ql_env_stop; rm -rf "$work"' EXIT
out=$("$here/tools/wine-run.sh" "$here/build/$preset/bench/bench_codechost.exe" "Z:${work//\//\\}\\photo.webp" 5)
printf '%s\n' "$out"
library_ms=$(printf '%s\n' "$out" | sed -n 's/^CodecHost.dll load_image, as the viewer *\([0-9.]*\).*/\1/p')
printf '%-42s %9s\n' "dwebp (native, same file), median" "$dwebp_ms"
awk -v a="$library_ms" -v b="$dwebp_ms" 'BEGIN { r = a / b; printf "%-42s %8.2fx  aim 1.15x %s\n", "CodecHost.dll as the viewer / dwebp", r, (r <= 1.15 ? "ok" : "OVER") }'
