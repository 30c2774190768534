#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "设为墙纸" of a 3840×2160 photo-like JPEG onto a 3840×2160 X screen with no desktop, centred and stretched,
# against the peer pipeline `djpeg -dct float -bmp` then `feh --bg-center` / `--bg-scale` of its result;
# and of a 4K BMP against feh and hsetroot alone. Medians of several runs, timed in this one script run.
#
# usage: bench/run_wallpaper.sh path/to/bench_wallpaper_apply [runs]
# Needs Xvfb, cjpeg/djpeg, ImageMagick (/usr/bin/convert), feh and hsetroot.
set -euo pipefail

bench=$(realpath "${1:?usage: $0 path/to/bench_wallpaper_apply [runs]}")
runs=${2:-7}
source "$(dirname "$0")/scratch_session.sh"
# A private 4K screen, whatever display the caller has.
private_xvfb 3840x2160
unset XDG_CURRENT_DESKTOP WAYLAND_DISPLAY

/usr/bin/convert -size 3840x2160 -seed 11 plasma:fractal -blur 0x1 -attenuate 0.4 +noise Gaussian \
  "ppm:$work/photo.ppm"
cjpeg -quality 90 "$work/photo.ppm" >"$work/photo.jpg"
djpeg -dct float -bmp "$work/photo.jpg" >"$work/photo.bmp"
rm "$work/photo.ppm"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Runs a shell command several times; prints its median wall time in milliseconds.
timed() {
  : >"$work/times"
  for ((i = 0; i < runs; i++)); do
    local start=$EPOCHREALTIME
    bash -c "$1" >/dev/null 2>&1
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }' >>"$work/times"
  done
  median <"$work/times"
}

mkdir -p "$work/run/config" "$work/run/runtime" && chmod 700 "$work/run/runtime"
ours=$(cd "$work/run" && XDG_CONFIG_HOME="$work/run/config" XDG_RUNTIME_DIR="$work/run/runtime" \
  QT_QPA_PLATFORM=xcb "$bench" "$work/photo.jpg" "$work/photo.bmp" "$runs")
value() { awk -v k="$1" '$1 == k { print $2 }' <<<"$ours"; }

djpeg_alone=$(timed "djpeg -dct float -bmp '$work/photo.jpg' > '$work/peer.bmp'")
peer_center=$(timed "djpeg -dct float -bmp '$work/photo.jpg' > '$work/peer.bmp' && feh --no-fehbg --bg-center '$work/peer.bmp'")
peer_scale=$(timed "djpeg -dct float -bmp '$work/photo.jpg' > '$work/peer.bmp' && feh --no-fehbg --bg-scale '$work/peer.bmp'")
feh_bmp=$(timed "feh --no-fehbg --bg-center '$work/photo.bmp'")
hsetroot_bmp=$(timed "hsetroot -center '$work/photo.bmp'")

fail=0
report() {  # label ours peer peer-label target
  awk -v l="$1" -v o="$2" -v p="$3" -v pl="$4" -v t="$5" 'BEGIN {
    r = o / p; printf "%-30s %8.1f ms vs %-26s %8.1f ms = %.2f x (target <= %.2f)%s\n", l, o, pl, p, r, t, r <= t ? "" : "  MISSED"
    exit r <= t ? 0 : 1 }' || fail=1
}
echo "3840x2160 JPEG $(stat -c %s "$work/photo.jpg") bytes onto a 3840x2160 screen; medians of $runs runs"
report "JPEG centred (full step)" "$(value jpeg-centred)" "$peer_center" "djpeg + feh --bg-center" 0.75
report "JPEG stretched (full step)" "$(value jpeg-stretched)" "$peer_scale" "djpeg + feh --bg-scale" 0.75
report "JPEG centred (full step)" "$(value jpeg-centred)" "$djpeg_alone" "djpeg alone" 1.25
report "BMP centred" "$(value bmp-centred)" "$feh_bmp" "feh --bg-center" 0.90
report "BMP centred" "$(value bmp-centred)" "$hsetroot_bmp" "hsetroot -center" 1.00
exit "$fail"
