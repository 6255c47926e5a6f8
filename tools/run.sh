#!/usr/bin/env bash
# Installs what is missing, builds the x64 viewer and runs it. Without a display it runs under
# Xvfb, saves a screenshot of the screen after the window appears, closes the viewer and says
# where the picture is. Extra arguments go to the viewer (for example a picture to open).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
tools/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target QuellinImg
headless=0; [ -z "${DISPLAY:-}" ] && headless=1
source tools/wine-env.sh
ql_env_start
trap ql_env_stop EXIT
exe="$here/build/x64/bin/QuellinImg.exe"
# Pictures may be named by their Linux path: Wine sees the Linux root as drive Z:.
args=()
for a in "$@"; do
  if [ -e "$a" ] && [[ "$a" != [A-Za-z]:* ]]; then
    full=$(realpath "$a")
    args+=("Z:${full//\//\\}")
  else
    args+=("$a")
  fi
done
set -- "${args[@]+"${args[@]}"}"
if [ "$headless" = 0 ]; then
  tools/wine-run.sh "$exe" "$@"
  exit 0
fi
tools/wine-run.sh "$exe" "$@" &
pid=$!
shot="$here/build/screenshot.png"
sleep "${QL_SHOT_DELAY:-4}"
import -window root "$shot"
# Xvfb has no window manager to draw captions, so name the top-level windows as X knows them.
xwininfo -root -tree 2>/dev/null | grep -F '"Quellin' | sed 's/^ */Window on screen: /' || true
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "Screenshot of the viewer: $shot"
