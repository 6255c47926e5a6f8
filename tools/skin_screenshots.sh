#!/usr/bin/env bash
# Makes the pictures of the skinned dialogs in docs/skins/: every dialog in English and in
# Chinese, drawn by the real skin archive and language files of the x64 build, saved by
# skin_preview.exe from the dialog's own window. Usage: tools/skin_screenshots.sh [FOLDER]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
out=${1:-docs/skins}
tools/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target skin_preview
mkdir -p "$out"
out=$(cd "$out" && pwd)
source tools/wine-env.sh
ql_env_start
trap ql_env_stop EXIT
# The pop-ups are drawn over the test photo with camera data and a GPS position.
tools/fixtures/make_fixtures.sh build/x64/fixtures >/dev/null
# A copy with a fixed modification time: the information panel shows it, and the same run must
# give the same pictures.
mkdir -p build/skin-shots
photo=$(pwd)/build/skin-shots/camera.jpg
cp build/x64/fixtures/camera.jpg "$photo"
touch -d "2024-05-06 07:08:09" "$photo"
for dialog in delete default wheel about effect resize feedback feedback_tips feedback_error settings0 settings1 settings2 settings3 \
    menu context info; do
  for language in en cn_simp; do
    picture="$out/${dialog}_${language}.png"
    tools/wine-run.sh build/x64/bin/skin_preview.exe "$dialog" "$language.ini" "Z:${picture//\//\\}" "Z:${photo//\//\\}" \
      </dev/null >/dev/null 2>&1 || { echo "skin_preview failed for $dialog ($language)" >&2; exit 1; }
    # Written again without ancillary chunks, so that the same dialog gives the same file.
    convert "$picture" -strip -define png:exclude-chunks=date,time,tEXt,zTXt,iTXt "$picture"
    echo "$picture"
  done
done
