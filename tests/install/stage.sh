#!/bin/bash
# Makes a fresh installed tree for the tests, from the build directory BUILD into OUT/root:
#   stage.sh install BUILD OUT PREFIX   cmake --install with DESTDIR
#   stage.sh deb BUILD OUT              the Debian package in OUT, unpacked with dpkg-deb -x
set -euo pipefail
mode=$1 build=$2 out=$3
rm -rf "$out"
mkdir -p "$out/root"
case "$mode" in
  install) DESTDIR="$out/root" cmake --install "$build" --prefix "$4" ;;
  deb)
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out"
    dpkg-deb -x "$out"/lumora_*.deb "$out/root"
    ;;
esac
