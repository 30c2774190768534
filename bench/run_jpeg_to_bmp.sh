#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# JPEG → BMP through TJPEGImage, TBitmap and SaveToFile, against `djpeg -dct float -bmp` on the same
# 3840×2160 photo-like file: median wall time over several runs and peak resident memory of each.
#
# usage: bench/run_jpeg_to_bmp.sh path/to/bench_jpeg_to_bmp [runs]
# Needs cjpeg and djpeg (libjpeg-turbo-progs), ImageMagick (/usr/bin/convert) and GNU time (/usr/bin/time).
set -euo pipefail

bench=${1:?usage: $0 path/to/bench_jpeg_to_bmp [runs]}
runs=${2:-7}
source "$(dirname "$0")/scratch_session.sh"
photo_jpeg "$work/photo.jpg" 3840 2160
picture_kb=$((3840 * 2160 * 3 / 1024))

# Runs a command once; prints "seconds max_rss_kb".
measure() {
  local start end
  start=$EPOCHREALTIME
  /usr/bin/time -f %M -o "$work/rss" "$@"
  end=$EPOCHREALTIME
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $(tail -n 1 "$work/rss")"
}


: >"$work/ours" && : >"$work/djpeg" && : >"$work/nocopy"
for ((i = 0; i < runs; i++)); do
  # Alternate which goes first so that neither always gets the warmer cache.
  if ((i % 2 == 0)); then
    measure "$bench" "$work/photo.jpg" "$work/ours.bmp" >>"$work/ours"
    measure djpeg -dct float -bmp -outfile "$work/djpeg.bmp" "$work/photo.jpg" >>"$work/djpeg"
    measure "$bench" --no-copy "$work/photo.jpg" "$work/nocopy.bmp" >>"$work/nocopy"
  else
    measure "$bench" --no-copy "$work/photo.jpg" "$work/nocopy.bmp" >>"$work/nocopy"
    measure djpeg -dct float -bmp -outfile "$work/djpeg.bmp" "$work/photo.jpg" >>"$work/djpeg"
    measure "$bench" "$work/photo.jpg" "$work/ours.bmp" >>"$work/ours"
  fi
done

# Same pixels, whatever the two writers put in their headers.
offset() { od -An -t u4 -j 10 -N 4 "$1" | tr -d ' '; }
pixels() { tail -c +"$(($(offset "$1") + 1))" "$1"; }
same=yes
for file in ours nocopy; do
  cmp -s <(pixels "$work/$file.bmp") <(pixels "$work/djpeg.bmp") || same=NO
done

ours_t=$(cut -d' ' -f1 "$work/ours" | median)
djpeg_t=$(cut -d' ' -f1 "$work/djpeg" | median)
ours_m=$(cut -d' ' -f2 "$work/ours" | median)
djpeg_m=$(cut -d' ' -f2 "$work/djpeg" | median)
nocopy_t=$(cut -d' ' -f1 "$work/nocopy" | median)
nocopy_m=$(cut -d' ' -f2 "$work/nocopy" | median)
echo "JPEG 3840x2160, $(stat -c %s "$work/photo.jpg") bytes; decoded picture ${picture_kb} KB; $runs runs; same pixels: $same"
report() {
  awk -v label="$1" -v ot="$2" -v om="$3" -v dt="$djpeg_t" -v dm="$djpeg_m" -v pk="$picture_kb" 'BEGIN {
    printf "%-26s time %.3f s vs djpeg %.3f s = %.3f x (target <= 1.10)   peak RSS %d KB vs %d KB, extra %.2f x picture (target <= 1.2)\n",
           label, ot, dt, ot / dt, om, dm, (om - dm) / pk
  }'
}
report "load, Assign, SaveToFile" "$ours_t" "$ours_m"
report "same without Assign copy" "$nocopy_t" "$nocopy_m"
