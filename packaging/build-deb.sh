#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages of Lumora the Debian way (dpkg-buildpackage on debian/, debhelper and CMake)
# from a copy of the sources, and leaves them in out/package/ (or the directory given):
#   lumora_<version>_<arch>.deb         the program
#   lumora-dbgsym_<version>_<arch>.deb  its debugging symbols
# together with the .changes and .buildinfo files. Install it with:
#   sudo apt install ./out/package/lumora_3.1-1_amd64.deb
# CMake settings for the build (the distributor's home page, update host, AppStream id) go in
# LUMORA_SETTINGS; packaging/README.md lists them.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$repo/out/package}")
"$repo/scripts/setup-debian.sh" package

# dpkg-buildpackage writes its results beside the source tree, so the sources are copied into a scratch
# directory of their own: the working tree stays clean and only the results reach $out. In a git checkout
# the copy is what git knows of (committed or not, ignored files left out); otherwise everything but out/.
# The scratch directory's path stays the same from build to build, so that ccache finds earlier results.
work="$out/.build"
rm -rf -- "$work"
trap 'rm -rf -- "$work"' EXIT
mkdir -p "$work/lumora"
if git -C "$repo" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$repo" ls-files -z --cached --others --exclude-standard |
    (cd "$repo" && xargs -0 -r tar --no-recursion --ignore-failed-read -cf - -- 2>/dev/null) | tar -xf - -C "$work/lumora"
else
  tar -C "$repo" --exclude=./out -cf - . | tar -xf - -C "$work/lumora"
fi

# Repeated builds reuse ccache's results when it is installed (debhelper gives the build a home of its own,
# so the cache is named here).
if command -v ccache >/dev/null 2>&1; then
  CCACHE_DIR=$(ccache --get-config cache_dir)
  export CCACHE_DIR CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
(cd "$work/lumora" && dpkg-buildpackage -us -uc -b)

mkdir -p "$out"
rm -f "$out"/lumora_*.deb "$out"/lumora-dbgsym_*.deb "$out"/lumora_*.changes "$out"/lumora_*.buildinfo
mv "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$out/"
ls "$out"/*.deb
