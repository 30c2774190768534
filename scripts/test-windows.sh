#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows half of the tests: builds Lumora for 64-bit Windows and proves it under Wine.
#   1. the tool chain, once (scripts/build-windows-toolchain.sh keeps it in ~/.cache/lumora);
#   2. lumora.exe and the Windows unit tests, which ctest runs as Windows programs through wine64;
#   3. the portable folder, its zip and the installer (scripts/package-windows.sh, into out/package-windows);
#   4. end to end: the portable folder's lumora.exe under Wine on a private X server, driven with xdotool by
#      a Linux test program, as the Linux end-to-end tests drive the Linux program;
#   5. the installer, installing and uninstalling silently.
# Every Wine program of the run shares one scratch Wine prefix, made here and removed at the end.
# With CI=true a skipped test fails the run, as in scripts/test.sh.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/setup-debian.sh" test
"$repo/scripts/build-windows-toolchain.sh"

build="$repo/out/build-windows"
package="$repo/out/package-windows"
linux_build="$repo/out/build-test"

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DLUMORA_WERROR=ON >/dev/null
cmake --build "$build"
"$repo/scripts/package-windows.sh" "$build" "$package"

# The Linux side of the end-to-end tests: the driver and the X server helpers of the Linux tests.
cmake -S "$repo" -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLUMORA_WERROR=ON -DLUMORA_FUZZ=ON >/dev/null
cmake --build "$linux_build" --target wine_e2e_tests

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumora-windows-tests.XXXXXX")
prefix="$scratch/wine"
web_server=""
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  [ -z "$web_server" ] || kill "$web_server" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The web server the HTTP client's Windows test fetches from, on a free loopback port.
mkdir -p "$scratch/www/version"
printf '3.2' >"$scratch/www/version/zodeveda.txt"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$scratch/lighttpd.conf" <<CONF
server.document-root = "$scratch/www"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$scratch/lighttpd-error.log"
CONF
/usr/sbin/lighttpd -D -f "$scratch/lighttpd.conf" &
web_server=$!
export LUMORA_TEST_WEB_SERVER="http://127.0.0.1:$port"
# Wine plays a Chinese Windows (ANSI code page 936), the system the program's users and their list files come
# from. Wine takes that from the locale, which glibc must know for Wine to name the files on disk.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  if [ "$(id -u)" = 0 ]; then localedef -i zh_CN -f UTF-8 zh_CN.UTF-8; else sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8; fi
fi
export LC_ALL=zh_CN.UTF-8
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's programs draw windows, so everything runs on an X server of its own.
on_x_server() { xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" "$@"; }
echo "test-windows: preparing the Wine prefix"
on_x_server sh -c 'wineboot --init && wineserver --wait'

status=0
log="$build/ctest-output.log"
echo "test-windows: the Windows unit tests under Wine"
on_x_server ctest --test-dir "$build" --output-on-failure --parallel 2 --timeout 300 2>&1 | tee "$log" || status=1
echo "test-windows: end to end under Wine"
LUMORA_WINDOWS_PROGRAM=$(find "$package" -mindepth 1 -maxdepth 1 -type d -name 'lumora-*-win64')
export LUMORA_WINDOWS_PROGRAM
ctest --test-dir "$linux_build" --output-on-failure --timeout 600 --label-regex '^wine$' 2>&1 |
  tee -a "$log" || status=1
echo "test-windows: the installer under Wine"
on_x_server "$repo/tests/windows/installer_test.sh" "$package" || status=1

if [ "${CI:-}" = "true" ] && grep -q -- ' (Skipped)$' "$log"; then
  echo "CI: a skipped test fails this run"
  status=1
fi
exit "$status"
