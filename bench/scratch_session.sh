# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the benchmark scripts: a scratch directory ($work) removed at exit; private_xvfb SIZE, which
# starts an X server of that size on a free display, exports DISPLAY and stops the server at exit;
# stop_at_exit PID for other processes started; photo_jpeg for pictures to work on.
work=$(mktemp -d)
xvfb=""
others=()
stop_at_exit() { others+=("$1"); }
cleanup() {
  local pid
  for pid in "${others[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

private_xvfb() {
  # Xvfb picks a free display number and tells it through this pipe.
  local fifo number
  fifo=$(mktemp -u) && mkfifo "$fifo" && exec {displayfd}<>"$fifo" && rm -f "$fifo"
  # -s 0: the server's own screen saver never starts (Lumora would refuse it with a box). xset cannot turn
  # it off afterwards on Debian 12's Xvfb: the request is taken and the time-out stays ten minutes.
  Xvfb -displayfd "$displayfd" -screen 0 "$1x24" -s 0 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  read -r -t 15 number <&"$displayfd"
  export DISPLAY=":$number"
}

# photo_jpeg FILE WIDTH HEIGHT [SEED]: a photo-like JPEG (a fractal plasma with some sensor-style noise, encoded
# as a camera or editor would). Needs ImageMagick (/usr/bin/convert) and cjpeg.
photo_jpeg() {
  /usr/bin/convert -size "$2x$3" -seed "${4:-11}" plasma:fractal -blur 0x1 -attenuate 0.4 +noise Gaussian \
    "ppm:$1.ppm"
  cjpeg -quality 90 "$1.ppm" >"$1"
  rm "$1.ppm"
}

# The median of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
