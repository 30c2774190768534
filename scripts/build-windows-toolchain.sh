#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds, once, what a 64-bit Windows build of Lumora links against: Qt (Core, Gui, Widgets and the
# windows platform plugin), libjpeg-turbo with its SIMD code and GoogleTest, cross-compiled with Debian's
# MinGW-w64 from Debian's own sources, into a cache outside the repository that
# cmake/mingw-w64-x86_64.cmake looks in. A complete cache is reused as it is; a build that stops halfway
# leaves only a scratch directory beside it, never a cache that looks complete. Silent when the cache is
# there already.
# Installs the Debian packages it needs (as root, or through sudo).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"

# The versions are the toolchain file's, so the cache built here is the one it reads.
version_of() { sed -n "s/^set(LUMORA_WINDOWS_$1_VERSION \(.*\))$/\1/p" "$toolchain"; }
qt_version=$(version_of QT)
jpeg_version=$(version_of JPEG)
gtest_version=$(version_of GTEST)
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/lumora"
sdk="$cache_root/mingw-qt$qt_version-jpeg$jpeg_version-gtest$gtest_version"
if [ -n "${LUMORA_WINDOWS_SDK:-}" ]; then
  sdk="$LUMORA_WINDOWS_SDK"
  cache_root=$(dirname "$sdk")
fi
complete_mark=.complete
mkdir -p "$cache_root"
log="$cache_root/build-$(basename "$sdk").log"

# Runs a step with its output in the log, which is shown only when the step fails.
run() {
  if ! "$@" >>"$log" 2>&1; then
    echo "build-windows-toolchain: failed: $*" >&2
    tail -n 40 "$log" >&2
    echo "build-windows-toolchain: the whole log is $log" >&2
    exit 1
  fi
}

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nasm cmake ninja-build
  dpkg-dev qt6-base-dev qt6-base-dev-tools wine wine64 xvfb xdotool nsis zip)

install_missing_packages() {
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# apt-get source needs deb-src lines; they mirror the Debian archives the machine already installs from.
add_debian_sources() {
  if apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    return
  fi
  local list=/etc/apt/sources.list.d/lumora-deb-src.sources f
  local staged
  staged=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$list" ] || continue
    # deb822 stanzas are separated by blank lines; keep the ones that serve Debian's binary packages.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:[^\n]*deb([ \t]|\n|$)/ && /(^|\n)URIs:[^\n]*debian/ && !/(^|\n)Enabled: *no/ {
           sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f" >>"$staged"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb\([[:space:]].*debian.*\)$/deb-src\1/p' /etc/apt/sources.list |
      while read -r line; do
        set -- $line
        # One-line entries become deb822 stanzas: deb-src [options] URI suite components...
        [ "${2#[}" = "$2" ] || shift
        printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n\n' "$2" "$3" "${*:4}"
      done >>"$staged"
  fi
  if [ ! -s "$staged" ]; then
    echo "build-windows-toolchain: no Debian archive in /etc/apt to take the sources from" >&2
    exit 1
  fi
  as_root install -m 644 "$staged" "$list"
  rm -f "$staged"
  as_root apt-get update -qq
}

# The packages are checked on every run: the cache is of no use without the compiler and Wine.
run install_missing_packages
if [ -f "$sdk/$complete_mark" ]; then
  exit 0
fi
run add_debian_sources

# One build at a time per cache; a second caller waits and then finds the cache complete.
exec 9>"$cache_root/.lock"
flock 9
if [ -f "$sdk/$complete_mark" ]; then
  exit 0
fi

host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case "$host_qt" in
  "$qt_version"+*|"$qt_version"-*) ;;
  *) echo "build-windows-toolchain: Qt for Windows $qt_version needs the host's Qt $qt_version, not $host_qt" >&2
     exit 1 ;;
esac

rm -rf "$sdk" "$sdk".partial.*
partial=$(mktemp -d "$sdk.partial.XXXXXX")
: >"$log"
cleanup() { rm -rf "$partial"; }
trap cleanup EXIT
# The builds yield to everything else on the machine.
build() { run nice -n 19 cmake --build "$1" --parallel "$(nproc)"; }

echo "build-windows-toolchain: building into $sdk (about 20 minutes on 2 idle cores, over an hour at nice 19 on a busy machine; log: $log)" >&2
sources="$partial/sources"
mkdir -p "$sources"
(cd "$sources" && run apt-get source -qq qt6-base libjpeg-turbo googletest)
source_dir() {
  local dir
  dir=$(find "$sources" -mindepth 1 -maxdepth 1 -type d -name "$1-$2*" | head -n 1)
  if [ -z "$dir" ]; then
    echo "build-windows-toolchain: Debian's $1 source is not version $2:" "$sources"/* >&2
    exit 1
  fi
  echo "$dir"
}
qt_src=$(source_dir qt6-base "$qt_version")
jpeg_src=$(source_dir libjpeg-turbo "$jpeg_version")
gtest_src=$(source_dir googletest "$gtest_version")

# Libraries are built against the prefixes being filled, which the toolchain file lists.
export LUMORA_WINDOWS_SDK="$partial"
configure() {
  local src=$1 prefix=$2
  shift 2
  run nice -n 19 cmake -S "$src" -B "$partial/build/$prefix" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$partial/$prefix" "$@"
}

configure "$jpeg_src" libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
  -DWITH_TURBOJPEG=OFF -DCMAKE_ASM_NASM_COMPILER=nasm
build "$partial/build/libjpeg-turbo"
run cmake --install "$partial/build/libjpeg-turbo"

configure "$gtest_src" googletest -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON
build "$partial/build/googletest"
run cmake --install "$partial/build/googletest"

# Only what Lumora uses; the image formats, fonts and text shaping come from Qt's own copies of the libraries.
configure "$qt_src" qt -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
  -DFEATURE_xml=OFF -DFEATURE_testlib=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
build "$partial/build/qt"
run cmake --install "$partial/build/qt"

# The installed packages find their files relative to themselves, so the finished prefixes move as they are.
rm -rf "$partial/build" "$sources"
touch "$partial/$complete_mark"
mv "$partial" "$sdk"
trap - EXIT
