#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the sample wallpapers that a first run finds in img/. The results are committed under data/img.
set -eu
cd "$(dirname "$0")/../data/img"
IM=/usr/bin/convert
$IM -size 1280x720 gradient:'#0b1d3a'-'#f4a259' -fill '#fff1c1' -draw 'circle 900,470 900,400' \
  -fill '#1f3b2d' -draw 'path "M 0,720 L 0,560 Q 320,470 640,560 T 1280,540 L 1280,720 Z"' -quality 88 dawn.jpg
$IM -size 1280x720 plasma:'#2d5fa8'-'#a6caf0' -blur 0x6 -quality 88 sky.jpg
$IM -size 1280x720 radial-gradient:'#9be7c4'-'#0f4c5c' -swirl 120 -quality 88 lagoon.jpg
$IM -size 320x180 pattern:checkerboard -fill '#f4a259' -colorize 40 -type TrueColor BMP3:tiles.bmp
