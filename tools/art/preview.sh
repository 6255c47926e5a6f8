#!/bin/sh
# Puts the rendered pictures together the way the viewer shows them, to judge a drawing after an
# edit: a mock of the window (title strip, empty view with the welcome picture, toolbar with one
# button hovered and one checked) and the same at 300 % without smoothing, to check pixel edges.
# Usage: preview.sh [BUILD_DIR] [OUT_DIR]   (defaults: build/x64, build/art-preview)
set -eu
build=${1:-build/x64}
out=${2:-build/art-preview}
res=$build/bin/res
gen=$build/app/generated
mkdir -p "$out"
w=832

# Title strip: logo at the left; menu, minimise, maximise and close at the right, close hovered.
convert -size ${w}x30 xc:'rgb(248,248,248)' \
  "$res/logo_desc.png" -geometry +8+6 -composite \
  \( "$res/wnd_menu.png" -crop 30x30+0+0 +repage \) -geometry +$((w - 128))+0 -composite \
  \( "$gen/title_minimize.png" -crop 30x30+0+0 +repage \) -geometry +$((w - 94))+0 -composite \
  \( "$gen/title_maximize.png" -crop 30x30+0+0 +repage \) -geometry +$((w - 62))+0 -composite \
  \( "$gen/title_close.png" -crop 30x30+30+0 +repage \) -geometry +$((w - 30))+0 -composite \
  "$out/title.png"

# Empty view: the welcome picture centred, the open button where the viewer puts it (7 px right
# of the picture's left edge, 87 px below its bottom), the turn-page tab at the left edge and the
# first loading frame in the middle.
sx=$(((w - 360) / 2)); sy=20
convert -size ${w}x380 xc:white \
  "$res/home_slogan.png" -geometry +$sx+$sy -composite \
  \( "$res/home_open.png" -crop 160x44+0+0 +repage \) -geometry +$((sx + 7))+$((sy + 200 + 87)) -composite \
  \( "$res/turn_page_indicator.png" -crop 64x150+0+5 +repage \) -geometry +0+110 -composite \
  \( "$res/turn_page_indicator.png" -crop 64x150+0+5 +repage -flop \) -geometry +$((w - 64))+110 -composite \
  "$out/view.png"

# Toolbar: the icons of row 0, "zoom in" hovered, "full screen" checked, "delete" disabled.
convert -size ${w}x52 xc:'rgb(248,251,254)' "$out/toolbar_bg.png"
args=""
x=$(((w - 14 * 52) / 2))
for col in 2 3 4 5 6 7 8 9 10 11 12 13 14 15; do
  row=0; bg=""
  [ $col = 3 ] && { row=1; bg=0; }
  [ $col = 14 ] && { row=1; bg=1; }
  [ $col = 9 ] && row=2
  if [ -n "$bg" ]; then
    convert "$out/toolbar_bg.png" \( "$res/toolbar.png" -crop 52x52+$((bg * 52))+0 +repage \) \
      -geometry +$x+0 -composite "$out/toolbar_bg.png"
  fi
  convert "$out/toolbar_bg.png" \( "$res/toolbar.png" -crop 52x52+$((col * 52))+$((row * 52)) +repage \) \
    -geometry +$x+0 -composite "$out/toolbar_bg.png"
  x=$((x + 52))
done
convert "$out/title.png" "$out/view.png" "$out/toolbar_bg.png" -append "$out/mock.png"
convert "$out/mock.png" -filter point -resize 300% "$out/mock_300.png"
rm -f "$out/title.png" "$out/view.png" "$out/toolbar_bg.png"
echo "$out/mock.png $out/mock_300.png"
