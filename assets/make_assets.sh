#!/bin/sh
# Draws Lumora's pictures with ImageMagick. The results are committed, so a build never needs this script;
# run it again only to change the artwork.
set -eu
cd "$(dirname "$0")"
IM=/usr/bin/convert
FONT=$(fc-match -f '%{file}' 'DejaVu Sans:bold')

# The logo: a sunrise over hills, with the product name. Shared by the splash and the main window.
$IM -size 162x137 gradient:'#ffd27a'-'#3a78c8' \
  -fill '#fff3c4' -draw 'circle 81,78 81,50' \
  -fill '#2f6b3a' -draw 'path "M 0,137 L 0,100 Q 40,70 81,95 T 162,88 L 162,137 Z"' \
  -fill '#244f2c' -draw 'path "M 0,137 L 0,118 Q 60,96 110,120 T 162,112 L 162,137 Z"' \
  -font "$FONT" -pointsize 26 -fill white -stroke '#1d3f73' -strokewidth 1 \
  -gravity north -annotate +0+10 'Lumora' -quality 92 logo.jpg

# Decorations on either side of the logo: soft light over the sky colour of the window.
$IM -size 225x160 gradient:'#a6caf0'-'#2d5fa8' -swirl 60 \
  -fill 'rgba(255,255,255,0.35)' -draw 'circle 60,50 60,10' -draw 'circle 170,110 170,85' \
  -quality 90 decor_left.jpg
$IM -size 225x137 gradient:'#2d5fa8'-'#a6caf0' -swirl -60 \
  -fill 'rgba(255,255,255,0.35)' -draw 'circle 160,40 160,10' -draw 'circle 50,100 50,80' \
  -quality 90 decor_right.jpg

# Window icon (32 × 32, 16 colours) and tray image (16 × 16).
for size in 32 16; do
  r=$((size / 2)); s=$((size * 3 / 8))
  $IM -size ${size}x${size} xc:'#3a78c8' \
    -fill '#ffd27a' -draw "circle $r,$r $r,$((r - s))" \
    -fill '#2f6b3a' -draw "rectangle 0,$((size * 3 / 4)) $size,$size" \
    -colors 16 PNG8:icon${size}.png
done
