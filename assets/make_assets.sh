#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
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

# The program's icon in the desktop's menus (installed into the hicolor theme as icons/lumora-SIZE.png).
# From 48 pixels up it is the logo's sunrise on a rounded tile: sky gradient, a glowing sun, two hills.
mkdir -p icons
for size in 48 64 128 256; do
  m=$((size / 16)); r=$((size / 6)); e=$((size - m - 1))
  x() { echo $((m + $1 * (size - 2 * m) / 100)); }
  $IM -size ${size}x${size} gradient:'#ffd27a'-'#3a78c8' \
    -fill 'rgba(255,243,196,0.45)' -draw "circle $(x 50),$(x 56) $(x 50),$(x 26)" \
    -fill '#fff3c4' -draw "circle $(x 50),$(x 56) $(x 50),$(x 36)" \
    -fill '#2f6b3a' -draw "path 'M 0,$size L 0,$(x 72) Q $(x 25),$(x 52) $(x 50),$(x 68) T $size,$(x 64) L $size,$size Z'" \
    -fill '#244f2c' -draw "path 'M 0,$size L 0,$(x 86) Q $(x 37),$(x 70) $(x 68),$(x 87) T $size,$(x 82) L $size,$size Z'" \
    \( -size ${size}x${size} xc:black -fill white -draw "roundrectangle $m,$m $e,$e $r,$r" \) \
    -alpha off -compose CopyOpacity -composite \
    -fill none -stroke '#1d3f73' -strokewidth $((size / 64 + 1)) -draw "roundrectangle $m,$m $e,$e $r,$r" \
    -depth 8 -define png:exclude-chunks=date,time icons/lumora-$size.png
done
# Below that, details would blur into each other, so each size is drawn on its own pixel grid without
# anti-aliasing, in flat colours: a square sky with a one-pixel outline, a sun on the pixel centre line
# and one band of hill whose top is a whole pixel row. Arguments: size, sun radius, the hill's top row.
small_icon() {
  size=$1; sun=$2; hill=$3; e=$((size - 1)); c=$(( (size - 1) * 10 / 2 ))
  $IM -size ${size}x${size} xc:none +antialias \
    -fill '#3a78c8' -stroke '#1d3f73' -strokewidth 1 -draw "rectangle 0,0 $e,$e" -stroke none \
    -fill '#6f9fdc' -draw "rectangle 1,1 $((e - 1)),$((size / 3))" \
    -fill '#ffd27a' -draw "circle $((c / 10)).$((c % 10)),$((hill - 1)) $((c / 10)).$((c % 10)),$((hill - 1 - sun))" \
    -fill '#2f6b3a' -draw "rectangle 1,$hill $((e - 1)),$((e - 1))" \
    -fill '#244f2c' -draw "rectangle 1,$((e - 1 - (e - hill) / 3)) $((e - 1)),$((e - 1))" \
    -depth 8 -define png:exclude-chunks=date,time icons/lumora-$size.png
}
small_icon 16 4 11
small_icon 22 6 15
small_icon 24 6 16
small_icon 32 8 22

# The same icons in one file for Windows: the program's own icon in Explorer, the Start menu and the
# installer.
$IM icons/lumora-16.png icons/lumora-24.png icons/lumora-32.png icons/lumora-48.png icons/lumora-64.png \
  icons/lumora-128.png icons/lumora-256.png icons/lumora.ico
