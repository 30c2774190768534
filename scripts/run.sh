#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Lumora and starts it in a data directory (out/run) that holds the sample pictures in img/ and
# 使用说明.txt. With a display it runs on the user's own desktop (a wallpaper it sets is the desktop's
# wallpaper). Without a display it starts a virtual X server with a notification area, writes a
# screenshot of the main window and keeps running until interrupted (Ctrl+C).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/setup-debian.sh" run

# The lock Lumora holds while it runs (src/platform/posix/instance_mutex_posix.cpp): one per user, in the
# user's runtime directory. A second Lumora only shows "已经运行了一个Lumora!" on its own display and ends,
# which on a virtual X server nobody would see: said here instead, before anything is built.
if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ "${XDG_RUNTIME_DIR#/}" != "$XDG_RUNTIME_DIR" ] && [ -d "$XDG_RUNTIME_DIR" ]; then
  lock="$XDG_RUNTIME_DIR/Lumora v2.0.lock"
else
  lock="/tmp/lumora-$(id -u)/Lumora v2.0.lock"
fi
if [ -z "${DISPLAY:-}" ] && [ -e "$lock" ] && ! flock -n "$lock" true 2>/dev/null; then
  echo "Lumora is already running for this user, on another display: only one Lumora runs at a time." >&2
  exit 1
fi

build="$repo/out/build-run"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_TESTS=OFF -DLUMORA_BENCH=OFF >/dev/null
cmake --build "$build" --target lumora

run="$repo/out/run"
mkdir -p "$run/img"
# The user's own files in the data directory are never overwritten.
cp -n "$repo/data/img/"* "$run/img/"
cp -n "$repo/data/使用说明.txt" "$run/"

children=()
# Lumora first, then the tray host and the X server it was using.
cleanup() {
  for ((i = ${#children[@]} - 1; i >= 0; i--)); do
    kill "${children[i]}" 2>/dev/null || true
    wait "${children[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  # Xvfb picks a free display number and tells it through this pipe.
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  exec {displayfd}<>"$fifo"
  rm -f "$fifo"
  Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  children+=($!)
  read -r -t 15 number <&"$displayfd"
  export DISPLAY=":$number"
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
    >/dev/null 2>&1 &
  children+=($!)
  echo "No display: started a virtual X server on $DISPLAY with a notification area (trayer)."
  headless=1
else
  headless=0
fi

cd "$run"
"$build/src/app/lumora" &
lumora=$!
children+=($lumora)

if [ "$headless" = 1 ]; then
  window=""
  for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name '^Lumora v[0-9.]+$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
  done
  if [ -n "$window" ]; then
    sleep 0.5
    shot="$repo/out/main-window.png"
    xwd -silent -id "$window" -out "$repo/out/main-window.xwd"
    /usr/bin/convert "xwd:$repo/out/main-window.xwd" "$shot" && rm -f "$repo/out/main-window.xwd"
    echo "Lumora is running on $DISPLAY. Screenshot of the main window: $shot"
  else
    echo "The main window did not appear; see the messages above." >&2
  fi
  echo "Press Ctrl+C to stop."
fi
wait "$lumora"
