#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a fresh installed tree for the tests in OUT/root:
#   stage.sh install BUILD OUT PREFIX   cmake --install of the build directory BUILD with DESTDIR
#   stage.sh deb SOURCE OUT             the Debian packages built from the sources SOURCE by
#                                       packaging/build-deb.sh into OUT, the program's unpacked with dpkg-deb -x
set -euo pipefail
mode=$1 out=$3
rm -rf "$out"
mkdir -p "$out/root"
case "$mode" in
  install) DESTDIR="$out/root" cmake --install "$2" --prefix "$4" ;;
  deb)
    "$2/packaging/build-deb.sh" "$out"
    dpkg-deb -x "$out"/lumora_*.deb "$out/root"
    ;;
esac
