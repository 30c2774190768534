#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs bench_list_files (the wallpaper list's files in the real main window, against plain Qt) in a scratch
# directory with its own settings store and runtime directory, on a private X server when there is no
# display. Exits non-zero when a result is wrong or a target is missed.
#
# usage: bench/run_list_files.sh path/to/bench_list_files [runs]     (Xvfb needed without a display)
set -euo pipefail

bench=$(realpath "${1:?usage: $0 path/to/bench_list_files [runs]}")
runs=${2:-7}
source "$(dirname "$0")/scratch_session.sh"
[ -n "${DISPLAY:-}" ] || private_xvfb 1280x1024

mkdir -p "$work/config" "$work/runtime" "$work/run" && chmod 700 "$work/runtime"
cd "$work/run"
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb "$bench" "$runs"
