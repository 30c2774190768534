#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every speed figure of Lumora in one table, each against its peer measured in the same run, its target, and
# PASS or MISS. Builds the program and the benchmarks in Release (out/build-bench), then drives the real
# program on a private 3840×2160 X server with no desktop, from a scratch directory of its own: clicks go
# through XTest and the answer is seen on the X server (bench_x_probe), as a user would see it. The list
# file's open, save and exit save and the first-run fill are timed inside the process (bench_list_files) and
# marked so. Each figure is the median of RUNS runs, the program and its peer taking turns to go first.
# Exits 1 when a target is missed, 2 when something could not be measured.
#
# usage: bench/run_all.sh [runs]        (5 or more, default 5)
# IDLE_SECONDS sets the idle sample's length (60); with BENCH_EACH set, every single time goes to stderr too.
# Needs cmake, ninja, clang, Xvfb, trayer, cjpeg/djpeg, ImageMagick, exiftool, xwallpaper and feh.
# shellcheck disable=SC2317  # the measurements are functions that alternate calls
set -euo pipefail

runs=${1:-5}
idle_seconds=${IDLE_SECONDS:-60}
[[ $runs =~ ^[0-9]+$ && $runs -ge 5 ]] || { echo "usage: $0 [runs]    (5 or more)" >&2; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/out/build-bench
if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DLUMORA_TESTS=OFF -DLUMORA_FUZZ=OFF "${launcher[@]}" >/dev/null
fi
nice ninja -C "$build" lumora bench_x_probe bench_list_files >/dev/null
lumora=$build/src/app/lumora
probe=$build/bench/bench_x_probe

source "$repo/bench/scratch_session.sh"
private_xvfb 3840x2160
unset XDG_CURRENT_DESKTOP WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
# The program's tray icon needs a notification area, and hiding the window needs the icon.
trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
  --SetDockType false >/dev/null 2>&1 &
stop_at_exit $!

# The pictures: a 4K photo as JPEG and BMP, a 12 MP camera JPEG taken upright (EXIF orientation 6), and a small
# one to show in between, so that every preview timed is a change.
echo "making the pictures..." >&2
photo_jpeg "$work/photo.jpg" 3840 2160
djpeg -dct float -bmp -outfile "$work/photo.bmp" "$work/photo.jpg"
photo_jpeg "$work/turned.jpg" 4000 3000 5
exiftool -q -overwrite_original -n -Orientation=6 "$work/turned.jpg"
/usr/bin/convert -size 200x150 gradient:red-blue "$work/small.jpg"

# A scratch home with the first run done and a saved list of 10 000 entries, the pictures first.
run=$work/run
mkdir -p "$run/config/lumora" "$run/runtime" && chmod 700 "$run/runtime"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\VezeVuru\\ZodeVeda]\nsn=o\n' >"$run/config/lumora/registry.ini"
{
  printf '%s\r\n' "$work/photo.jpg" "$work/photo.bmp" "$work/turned.jpg" "$work/small.jpg"
  for ((i = 4; i < 10000; i++)); do
    printf '/home/lin/Pictures/Wallpapers/%d/IMG_%05d_edit.jpg\r\n' $((i % 14 + 2010)) "$i"
  done
} >"$run/zodeveda.orl"
export XDG_CONFIG_HOME=$run/config XDG_RUNTIME_DIR=$run/runtime
cd "$run"

# The main window's places (608 × 565, at the screen's top-left without a window manager).
row_y() { echo $((23 + 13 * $1)); }
preview=area:330,18,269,285
set_wallpaper=(45 262)
centred=(30 344)
stretched=(30 376)
to_tray=(500 460)

# Times of each figure, one a line, in $work/times/NAME.
mkdir "$work/times"
note() {
  [ -n "$2" ] || { echo "no time for $1; the program's log:" >&2; cat "$run/lumora.log" >&2; exit 2; }
  echo "$2" >>"$work/times/$1"
}
med() { median <"$work/times/$1"; }
# Takes the program's and the peer's measurement (two functions) in turn, the program first in even runs.
alternate() { # run program peer
  if (($1 % 2 == 0)); then "$2" && "$3"; else "$3" && "$2"; fi
}
resident_mb() { awk '/^VmRSS:/ { printf "%.1f\n", $2 / 1024 }' "/proc/$pid/status"; }
# The program is the probe's child, an orphan once the probe has ended: it lingers as a zombie until the
# system's first process reaps it, seconds later on some machines, and has ended all the same.
alive() {
  local state
  state=$(ps -o stat= -p "$pid") && [[ $state != Z* ]]
}
gone() {
  local tenths
  for ((tenths = 0; tenths < 200; tenths++)); do alive && sleep 0.1 || return 0; done
  echo "the program did not end; its log:" >&2 && cat "$run/lumora.log" >&2 && exit 2
}

# Start to main window shown, the splash's three seconds included.
echo "start..." >&2
for ((i = 0; i < runs; i++)); do
  read -r pid window ms < <("$probe" start "$run/lumora.log" 608 565 "$lumora")
  stop_at_exit "$pid"
  note start "$ms"
  # Ended as a log-out ends it, with the list saved.
  if ((i < runs - 1)); then kill "$pid" && gone; fi
done
sleep 2
idle_rss=$(resident_mb)

# Preview: a click on the list row until the picture is in the preview area, against djpeg's decode alone.
echo "previews..." >&2
show() { "$probe" click "$window" 60 "$(row_y "$1")" "$preview"; }
preview_ours() { show 3 >/dev/null && note "preview-$picture" "$(show "$row")"; }
preview_peer() {
  note "djpeg-$picture" "$("$probe" run djpeg -dct float -outfile /dev/null "$work/$picture.jpg")"
}
for picture in photo turned; do
  [ $picture = photo ] && row=0 || row=2
  for ((i = 0; i < runs; i++)); do alternate $i preview_ours preview_peer; done
done

# What a first apply of the 4K JPEG leaves behind, its preview already shown.
show 3 >/dev/null && show 0 >/dev/null && sleep 1
before_apply=$(resident_mb)
"$probe" click "$window" "${set_wallpaper[@]}" root >/dev/null
sleep 1
after_apply=$(resident_mb)

# "设为墙纸": the click until the root window's pixmap is set, against xwallpaper and djpeg alone (the JPEG) or
# feh (the BMP).
echo "设为墙纸..." >&2
apply_ours() { note "apply-$style" "$("$probe" click "$window" "${set_wallpaper[@]}" root)"; }
apply_peers() {
  note "xwallpaper-$style" "$("$probe" run root xwallpaper "$xw" "$work/photo.jpg")"
  note "djpeg-bmp-$style" "$("$probe" run djpeg -dct float -bmp -outfile "$work/peer.bmp" "$work/photo.jpg")"
}
for style in centred stretched; do
  [ $style = centred ] && place=("${centred[@]}") xw=--center || place=("${stretched[@]}") xw=--zoom
  # A change of style shows the wallpaper again in it, when there is one.
  "$probe" --timeout 10000 click "$window" "${place[@]}" root >/dev/null || true
  for ((i = 0; i < runs; i++)); do
    alternate $i apply_ours apply_peers
  done
done
"$probe" --timeout 10000 click "$window" "${centred[@]}" root >/dev/null || true
show 1 >/dev/null
style=bmp
feh_peer() { note feh-bmp "$("$probe" run root feh --no-fehbg --bg-center "$work/photo.bmp")"; }
for ((i = 0; i < runs; i++)); do alternate $i apply_ours feh_peer; done

# Idle in the tray: processor time (of the whole process, threads that ended included) and wake-ups (the
# context switches of each thread since the sample began, or since it was born; a thread that ends within the
# sample takes its last ones along).
echo "idle for $idle_seconds s..." >&2
"$probe" click "$window" "${to_tray[@]}" unmap >/dev/null
sleep 3
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
switches() {
  local task
  for task in /proc/"$pid"/task/*; do
    awk -v t="${task##*/}" '/ctxt_switches/ { s += $2 } END { print t, s }' "$task/status" 2>/dev/null || true
  done
}
cpu0=$(cpu_ticks) && switches >"$work/switches0"
sleep "$idle_seconds"
cpu1=$(cpu_ticks) && switches >"$work/switches1"
idle_cpu=$(awk -v a="$cpu0" -v b="$cpu1" -v hz="$(getconf CLK_TCK)" -v s="$idle_seconds" \
  'BEGIN { printf "%.4f", (b - a) / hz / s * 100 }')
idle_wakes=$(awk -v s="$idle_seconds" 'NR == FNR { before[$1] = $2; next } { n += $2 - before[$1] }
  END { printf "%.2f", n / s }' "$work/switches0" "$work/switches1")
alive || { echo "the program ended before its time; its log:" >&2 && cat "$run/lumora.log" >&2 && exit 2; }
kill "$pid"
gone

# The list file and the first run, in-process.
echo "list files (in-process)..." >&2
mkdir -p "$work/list/config" "$work/list/runtime" && chmod 700 "$work/list/runtime"
list_out=$(cd "$work/list" && XDG_CONFIG_HOME=$work/list/config XDG_RUNTIME_DIR=$work/list/runtime \
  "$build/bench/bench_list_files" "$runs") || [ $? = 2 ] || { echo "bench_list_files failed" >&2; exit 2; }
# The medians on the line of that label: ours, and plain Qt's (the number before "ms =").
list_value() {
  grep -F "$1" <<<"$list_out" | awk '{ for (i = 1; i < NF; ++i) if ($i == "=") print $1, $(i - 2) }'
}

# The table. Figures in milliseconds unless said; the label goes last (Chinese is three bytes in two columns).
status=0
printf '%-6s %10s %10s %7s  %-16s %-26s %s\n' result ours peer ratio target peer figure
row() { # figure ours peer peer-name kind limit; kind: ratio (ours/peer <= limit), below (ours < limit),
  # upto (ours <= limit), over-peer (ours <= peer + limit). NONE when there is no figure.
  local code=0
  awk -v f="$1" -v o="$2" -v p="$3" -v pn="$4" -v k="$5" -v l="$6" 'BEGIN {
    r = p > 0 ? sprintf("%.2f", o / p) : "-"
    if (k == "ratio") { ok = o / p <= l; t = "<= " l " x" }
    else if (k == "below") { ok = o < l; t = "< " l }
    else if (k == "upto") { ok = o <= l; t = "<= " l }
    else { ok = o <= p + l; t = "<= peer + " l }
    result = o == "" ? "NONE" : ok ? "PASS" : "MISS"
    printf "%-6s %10s %10s %7s  %-16s %-26s %s\n", result, o, (p > 0 ? p : "-"), r, t, pn, f
    exit o == "" ? 2 : !ok }' || code=$?
  ((code <= status)) || status=$code
}
for style in centred stretched; do
  [ $style = centred ] && xw=--center || xw=--zoom
  row "设为墙纸 4K JPEG $style: click to root painted" "$(med apply-$style)" "$(med xwallpaper-$style)" \
    "xwallpaper $xw" ratio 0.5
  row "设为墙纸 4K JPEG $style: click to root painted" "$(med apply-$style)" "$(med djpeg-bmp-$style)" \
    "djpeg -dct float -bmp" ratio 0.6
done
row "设为墙纸 4K BMP centred: click to root painted" "$(med apply-bmp)" "$(med feh-bmp)" "feh --bg-center" \
  ratio 0.5
row "preview 4K JPEG: click on the row to picture shown" "$(med preview-photo)" "$(med djpeg-photo)" \
  "djpeg -dct float" ratio 1.25
row "preview 12 MP JPEG, EXIF orientation 6" "$(med preview-turned)" "$(med djpeg-turned)" "djpeg -dct float" \
  ratio 1.25
in_process() { # figure label-in-bench_list_files peer-name limit
  local values
  read -r -a values <<<"$(list_value "$2")"
  row "$1 (in-process)" "${values[0]:-}" "${values[1]:-0}" "$3" below "$4"
}
in_process "打开 of a 10 000-entry list" "打开 (" "Qt read+split+addItems" 100
in_process "保存 of a 10 000-entry list" "保存 (" "Qt texts+QSaveFile" 100
in_process "exit save of a 10 000-entry list" "exit save" "Qt texts+QSaveFile" 100
in_process "first-run fill from an img/ of 10 000" "first-run fill" "QDir::entryList+addItems" 200
row "start to main window, 10 000 saved entries" "$(med start)" 3000 "the splash's 3 s" over-peer 150
row "idle in the tray, ${idle_seconds} s: CPU %" "$idle_cpu" 0 "-" below 0.05
row "idle in the tray, ${idle_seconds} s: wake-ups a second" "$idle_wakes" 0 "-" upto 1
row "resident memory idle after the start, MB" "$idle_rss" 0 "-" upto 60
row "resident memory an apply leaves, MB (before $before_apply)" \
  "$(awk -v a="$before_apply" -v b="$after_apply" 'BEGIN { printf "%.1f", b - a }')" 0 "-" upto 10
if [ -n "${BENCH_EACH:-}" ]; then
  for file in "$work"/times/*; do echo "${file##*/}: $(paste -sd ' ' "$file")" >&2; done
fi
echo "medians of $runs runs; 3840x2160 screen; times in ms; peers measured in the same run"
exit "$status"
