#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Packages a Windows build of Lumora (configured with cmake/mingw-w64-x86_64.cmake; the program is brought up
# to date first) into out-dir:
#   lumora-<version>-win64/      the portable folder, which runs from wherever it is put
#   lumora-<version>-win64.zip   that folder, zipped
#   lumora-<version>-setup.exe   the installer (packaging/windows/lumora.nsi)
# Usage: scripts/package-windows.sh [build-dir] [out-dir]   (defaults: out/build-windows, out/package-windows)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$repo/out/build-windows}")
out=$(realpath -m "${2:-$repo/out/package-windows}")

for tool in makensis zip; do
  if ! command -v "$tool" >/dev/null; then
    echo "package-windows: $tool is missing (Debian's nsis and zip; scripts/build-windows-toolchain.sh installs them)" >&2
    exit 1
  fi
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
if [ -z "$version" ]; then
  echo "package-windows: $build is not a configured build of Lumora" >&2
  exit 1
fi

name="lumora-$version-win64"
folder="$out/$name"
cmake --build "$build" --target lumora
rm -rf "$folder" "$out/$name.zip"
mkdir -p "$out"
cmake --install "$build" --prefix "$folder" --strip >/dev/null
(cd "$out" && zip -qrX "$name.zip" "$name")

# The uninstaller's list: every file of the folder, then its directories, the deepest first.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(
  cd "$folder"
  find . ! -type d | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
  find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
) >"$scratch/files.nsh"
LC_ALL=C.UTF-8 makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSOURCE="$folder" -DFILES="$scratch/files.nsh" \
  -DOUTFILE="$out/lumora-$version-setup.exe" "$repo/packaging/windows/lumora.nsi"
echo "package-windows: $folder, $out/$name.zip, $out/lumora-$version-setup.exe"
