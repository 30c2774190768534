# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the benchmark scripts: a scratch directory ($work) removed at exit, and private_xvfb SIZE,
# which starts an X server of that size on a free display, exports DISPLAY and stops the server at exit.
work=$(mktemp -d)
xvfb=""
cleanup() {
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

private_xvfb() {
  # Xvfb picks a free display number and tells it through this pipe.
  local fifo number
  fifo=$(mktemp -u) && mkfifo "$fifo" && exec {displayfd}<>"$fifo" && rm -f "$fifo"
  Xvfb -displayfd "$displayfd" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  read -r -t 15 number <&"$displayfd"
  export DISPLAY=":$number"
}
