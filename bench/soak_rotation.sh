#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program left running on a private X screen with no desktop, driven through its window with
# xdotool and watched from outside by bench_soak_watch (memory, open files, the server's pixmaps, the
# wallpaper changes). Fails, with a line saying which target was missed:
#   (default)   a one-second timed rotation over five 4K photos on a 3840×2160 screen, ten minutes unless
#               told (an hour once by hand: soak_rotation.sh BUILD 60); targets count after the first minute,
#               and no change may come later than 1.2 s after the one before.
#   --hot-key   the same pictures and targets, Ctrl+Q pressed every 200 ms for two minutes unless told (targets after
#               the first 30 s); every press changes the wallpaper or is dropped, and the window still
#               answers at the end.
#   --valgrind  one preview (a list row), one "设为墙纸" and one "保存" of the list under
#               valgrind --leak-check=full on a smaller screen; fails on any "definitely lost" block. Valgrind
#               before 3.20 cannot read clang's DWARF 5: give it a build configured with
#               -DCMAKE_CXX_FLAGS=-gdwarf-4 -DCMAKE_C_FLAGS=-gdwarf-4.
#
# usage: bench/soak_rotation.sh [--hot-key | --valgrind] BUILD-DIR [minutes]
#   BUILD-DIR holds src/app/lumora and bench/bench_soak_watch.
# Needs Xvfb, xset, xdotool, xprop, cjpeg, ImageMagick (/usr/bin/convert) and, for --valgrind, valgrind.
set -euo pipefail

mode=rotation
case "${1:-}" in
  --hot-key) mode=hot-key && shift ;;
  --valgrind) mode=valgrind && shift ;;
esac
build=$(realpath "${1:?usage: $0 [--hot-key | --valgrind] BUILD-DIR [minutes]}")
minutes=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/scratch_session.sh"

die() {
  echo "FAILED $*" >&2
  local log
  for log in "$work/run/lumora.log" "$work/valgrind.log"; do [ -f "$log" ] && tail -20 "$log" >&2; done
  exit 1
}

if [ "$mode" = valgrind ]; then size=1920x1080; else size=3840x2160; fi
private_xvfb "$size"
unset XDG_CURRENT_DESKTOP WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM
# The server's own screen saver would start after ten minutes, and Lumora would (rightly) refuse it with a
# box; private_xvfb starts the server with it off.
[[ $(xset q) =~ timeout:\ +0\  ]] || die "the X server's screen saver is on"

# Five photo-like pictures of the screen's size, in the saved list of a settings store past its first run.
mkdir -p "$work/run/config/lumora" "$work/run/runtime" && chmod 700 "$work/run/runtime"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\VezeVuru\\ZodeVeda]\nsn=o\n' >"$work/run/config/lumora/registry.ini"
for seed in 1 2 3 4 5; do
  photo_jpeg "$work/p$seed.jpg" "${size%x*}" "${size#*x}" "$seed"
  printf '%s\r\n' "$work/p$seed.jpg" >>"$work/run/zodeveda.orl"
done

# Starts the program (behind the given command, if any) in the scratch directory.
start_lumora() {
  cd "$work/run"
  XDG_CONFIG_HOME="$work/run/config" XDG_RUNTIME_DIR="$work/run/runtime" \
    "$@" "$build/src/app/lumora" >"$work/run/lumora.log" 2>&1 &
  lumora=$!
  stop_at_exit "$lumora"
  cd - >/dev/null
}

# The main window (608 × 565; the tray menu and message boxes carry the same title), within $1 seconds
# and while the program runs.
main_window() {
  local tries=$(($1 * 5)) w
  for ((i = 0; i < tries; i++)); do
    kill -0 "$lumora" 2>/dev/null || return 1
    for w in $(xdotool search --onlyvisible --name '^Lumora v3\.1$' 2>/dev/null); do
      if xdotool getwindowgeometry --shell "$w" | grep -qx 'WIDTH=608' &&
        xdotool getwindowgeometry --shell "$w" | grep -qx 'HEIGHT=565'; then
        echo "$w" && return 0
      fi
    done
    sleep 0.2
  done
  return 1
}

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
# A 75 × 25 button by its place on the main window.
button() { click $(($1 + 37)) $(($2 + 12)); }

# A message box captioned with the program's title: narrower than the main window.
titled_box() {
  local w width
  for w in $(xdotool search --onlyvisible --name '^Lumora v3\.1$' 2>/dev/null); do
    width=$(xdotool getwindowgeometry --shell "$w" | sed -n 's/^WIDTH=//p')
    if [ "$width" -gt 64 ] && [ "$width" -lt 600 ]; then echo "$w" && return 0; fi
  done
  return 1
}

# Waits up to $2 seconds (10 unless told) for that box and answers it with Return; fails naming $1.
answer_box() {
  local box tries=$((${2:-10} * 5))
  for ((i = 0; i < tries; i++)); do box=$(titled_box) && break; sleep 0.2; done
  [ -n "${box:-}" ] || die "no message box after $1: the window did not answer"
  for ((i = 0; i < 10; i++)); do
    box=$(titled_box) || return 0
    # Without a window manager the box takes keys only once given the focus.
    xdotool windowfocus --sync "$box" key Return
    sleep 0.3
  done
  die "the message box after $1 stayed"
}

# 退出, and the program ends with status 0 within $1 seconds. Clicked again every five seconds: a click
# while a closing dialog still holds the window is lost.
quit_cleanly() {
  for ((i = 0; i < $1 * 5; i++)); do
    kill -0 "$lumora" 2>/dev/null || break
    if ((i % 25 == 0)); then button 522 528 2>/dev/null || true; fi
    sleep 0.2
  done
  kill -0 "$lumora" 2>/dev/null && die "退出 did not end the program within $1 s"
  local status=0
  wait "$lumora" || status=$?
  [ "$status" -eq 0 ] || die "退出 ended the program with status $status"
}

watch() {  # seconds settle interval-ms
  "$build/bench/bench_soak_watch" "$lumora" "$window" "$@" | tee "$work/watch.txt"
  return "${PIPESTATUS[0]}"
}

fail=0
case "$mode" in
  rotation)
    start_lumora
    window=$(main_window 20) || die "the main window did not come up"
    click 125 370  # the interval box
    xdotool key ctrl+a type 1
    button 185 360 && answer_box 确定
    button 97 400 && answer_box 开始
    echo "a one-second rotation over five 4K photos for ${minutes:-10} minutes; a sample every 10 s"
    watch $((${minutes:-10} * 60)) 60 1000 || fail=1
    button 185 400 && answer_box 停止
    quit_cleanly 10
    ;;
  hot-key)
    start_lumora
    window=$(main_window 20) || die "the main window did not come up"
    click 258 280                                # 热键更换墙纸
    button 296 400 && answer_box 启用            # 启用
    seconds=$((${minutes:-2} * 60))
    echo "Ctrl+Q every 200 ms for $seconds s; a sample every 10 s"
    (
      # Microseconds, from the shell's own clock.
      presses=0 next=${EPOCHREALTIME/./} && end=$((next + seconds * 1000000 - 500000))
      while ((next < end)); do
        xdotool key ctrl+q
        presses=$((presses + 1)) next=$((next + 200000))
        wait_us=$((next - ${EPOCHREALTIME/./}))
        if ((wait_us > 0)); then sleep "$(printf '0.%06d' "$wait_us")"; fi
      done
      echo "$presses" >"$work/presses"
    ) &
    presser=$!
    watch "$seconds" 30 0 || fail=1
    wait "$presser" || die "pressing Ctrl+Q with xdotool failed"
    presses=$(cat "$work/presses")
    changes=$(sed -n 's/^\([0-9]*\) changes$/\1/p' "$work/watch.txt")
    if [ "$changes" -ge 1 ] && [ "$changes" -le "$presses" ]; then
      echo "ok     $presses presses: $changes changes, $((presses - changes)) dropped while a change was under way"
    else
      echo "FAILED $presses presses, $changes changes" && fail=1
    fi
    button 392 400 && answer_box "停用 (after the presses)"
    quit_cleanly 10
    ;;
  valgrind)
    # Only blocks that nothing points to any more fail the run; Qt's and fontconfig's caches that live until
    # exit show as "possibly lost" or "still reachable"; soak_valgrind.supp says which definite leaks of
    # other libraries are let through, and why. A child forked to start another program would report the
    # parent's heap it never owned.
    # Qt's regular expressions compile to machine code that valgrind cannot follow (a flood of "depends on
    # uninitialised value" at unnamed addresses): interpreted here.
    export QT_ENABLE_REGEXP_JIT=0
    start_lumora valgrind --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
      --suppressions="$here/soak_valgrind.supp" --child-silent-after-fork=yes --num-callers=40 \
      --log-file="$work/valgrind.log"
    window=$(main_window 300) || die "the main window did not come up under valgrind"
    click 60 23  # the first row: its preview
    sleep 20
    button 8 250  # 设为墙纸
    for ((i = 0; i < 600; i++)); do
      xprop -root _XROOTPMAP_ID | grep -q 'pixmap id' && break
      sleep 0.2
    done
    xprop -root _XROOTPMAP_ID | grep -q 'pixmap id' || die "设为墙纸 set no wallpaper under valgrind"
    title='将当前墙纸列表保存为Lumora墙纸列表文件'
    button 88 216  # 保存
    for ((i = 0; i < 300; i++)); do
      dialog=$(xdotool search --onlyvisible --name "^$title" 2>/dev/null | head -1) && [ -n "$dialog" ] && break
      sleep 0.2
    done
    [ -n "${dialog:-}" ] || die "保存 opened no file dialog under valgrind"
    sleep 5
    xdotool windowfocus --sync "$dialog" key ctrl+a type --delay 20 "$work/saved"
    xdotool key Return
    for ((i = 0; i < 300; i++)); do [ -s "$work/saved.orl" ] && break; sleep 0.2; done
    [ -s "$work/saved.orl" ] || die "保存 wrote no list under valgrind"
    quit_cleanly 300
    cp "$work/valgrind.log" "${TMPDIR:-/tmp}/soak_rotation_valgrind.log"
    sed -n '/HEAP SUMMARY/,$p' "$work/valgrind.log"
    if grep -q 'definitely lost: [1-9]' "$work/valgrind.log"; then
      grep -B2 -A40 'are definitely lost' "$work/valgrind.log" >&2
      echo "FAILED definitely lost blocks (above)" && fail=1
    elif grep -q 'LEAK SUMMARY' "$work/valgrind.log"; then
      echo "ok     no definitely lost block"
    else
      echo "FAILED valgrind wrote no leak summary" && fail=1
    fi
    ;;
esac
exit "$fail"
