#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A one-second timed rotation over five 4K photo-like JPEGs on a private 3840×2160 X screen with no desktop,
# left running (ten minutes by default; an hour once by hand: run_rotation_soak.sh BENCH 60). Prints a
# sample every ten seconds and a summary against the targets; fails when one is missed.
#
# usage: bench/run_rotation_soak.sh path/to/bench_rotation_soak [minutes]
# Needs Xvfb, xset, cjpeg and ImageMagick (/usr/bin/convert).
set -euo pipefail

bench=$(realpath "${1:?usage: $0 path/to/bench_rotation_soak [minutes]}")
minutes=${2:-10}
source "$(dirname "$0")/scratch_session.sh"
private_xvfb 3840x2160
unset XDG_CURRENT_DESKTOP WAYLAND_DISPLAY
# The server's own screen saver would start after ten minutes, and Lumora would (rightly) refuse it.
xset s off -dpms 2>/dev/null || xset s off

pictures=()
for seed in 1 2 3 4 5; do
  /usr/bin/convert -size 3840x2160 -seed "$seed" plasma:fractal -blur 0x1 +noise Gaussian "ppm:$work/p$seed.ppm"
  cjpeg -quality 90 "$work/p$seed.ppm" >"$work/p$seed.jpg"
  rm "$work/p$seed.ppm"
  pictures+=("$work/p$seed.jpg")
done

mkdir -p "$work/run/config" "$work/run/runtime" && chmod 700 "$work/run/runtime"
cd "$work/run"
XDG_CONFIG_HOME="$work/run/config" XDG_RUNTIME_DIR="$work/run/runtime" QT_QPA_PLATFORM=xcb \
  "$bench" "$minutes" "${pictures[@]}"
