#!/bin/bash
# Builds the Debian package of Lumora, out/package/lumora_<version>-1_<arch>.deb, from a Release build
# of the program alone. Install it with: sudo apt install ./out/package/lumora_3.1-1_amd64.deb
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/setup-debian.sh"

build="$repo/out/build-package"
# Built with the flags Debian builds its own packages with, hardening included.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMORA_TESTS=OFF -DLUMORA_BENCH=OFF \
  -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$build"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$repo/out/package"
rm -rf "$repo/out/package/_CPack_Packages"
ls "$repo"/out/package/*.deb
