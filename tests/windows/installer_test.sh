#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows packages that scripts/package-windows.sh made in an out-dir, tried under Wine in a scratch
# prefix: the zip holds a folder that can start (every DLL its programs import is in it or is Windows' own),
# and the installer installs, keeps the user's data folder and uninstalls silently.
# Source it and call installer_test OUT-DIR, or run it: tests/windows/installer_test.sh OUT-DIR
# (under a private Xvfb unless DISPLAY is set).

# expect WHAT COMMAND...: counts a failure when the command fails.
installer_expect() {
  local what=$1
  shift
  if ! "$@"; then
    echo "installer_test: FAIL: $what" >&2
    installer_failures=$((installer_failures + 1))
  fi
}

# The zip's folder: every DLL imported by one of its programs or DLLs is in it, or is Windows' own (Wine has
# one of that name, or it is an API set).
installer_check_zip() {
  local zip=$1 scratch=$2 name wine_dlls file dll
  name=$(basename "$zip" .zip)
  unzip -q "$zip" -d "$scratch/zip"
  installer_expect "the zip holds $name/lumora.exe" test -f "$scratch/zip/$name/lumora.exe"
  installer_expect "the zip holds $name/platforms/qwindows.dll" test -f "$scratch/zip/$name/platforms/qwindows.dll"
  wine_dlls=$(ls /usr/lib/*/wine/x86_64-windows/)
  while IFS= read -r -d '' file; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: *//p'); do
      if ! grep -qixF "$dll" <<<"$wine_dlls" && [[ ! "${dll,,}" == api-ms-win-* ]]; then
        installer_expect "$dll, imported by ${file#"$scratch/zip/"}, is in the folder" \
          test -f "$scratch/zip/$name/$dll"
      fi
    done
  done < <(find "$scratch/zip/$name" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
}

# Runs a Windows program in the scratch prefix and waits for every process there: the installer's own outlive
# the command that starts them (the uninstaller copies itself away first and returns).
installer_wine() {
  "$(command -v wine64 || echo /usr/lib/wine/wine64)" "$@" >/dev/null 2>&1 && wineserver -w
}

installer_test() {
  local out=$1 setup zip scratch folder user program data lnk reg left
  installer_failures=0
  setup=$(ls "$out"/lumora-*-setup.exe)
  zip=$(ls "$out"/lumora-*-win64.zip)
  scratch=$(mktemp -d)
  installer_check_zip "$zip" "$scratch"
  folder="$scratch/zip/$(basename "$zip" .zip)"

  local -x WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  installer_wine wineboot -i
  user="$WINEPREFIX/drive_c/users/$(id -un)"
  program="$user/AppData/Local/Programs/Lumora"
  data="$user/AppData/Roaming/Lumora"
  reg='\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Lumora\]'

  installer_expect "the installer runs silently" installer_wine "$setup" /S
  # The Start menu's own folder is Wine's to name; the entry is the one in its Programs folder.
  lnk=$(find "$user" -path '*/Programs/Lumora.lnk')
  installer_expect "the program folder is the zip's folder" diff -r -x uninstall.exe "$folder" "$program"
  installer_expect "the uninstaller is installed" test -f "$program/uninstall.exe"
  installer_expect "the data folder gets the pictures" diff -r "$folder/img" "$data/img"
  installer_expect "the data folder gets the manual" cmp "$folder/使用说明.txt" "$data/使用说明.txt"
  installer_expect "the Start-menu entry starts the program" grep -qiF 'Programs\Lumora\lumora.exe' \
    <(strings -a "$lnk"; strings -a -el "$lnk")
  installer_expect "the Start-menu entry starts in the data folder" grep -qiF 'AppData\Roaming\Lumora' \
    <(strings -a "$lnk"; strings -a -el "$lnk")
  installer_expect "the uninstaller is registered" grep -q "$reg" "$WINEPREFIX/user.reg"

  # What the user did to the data folder stays through an update.
  rm -f "$data/img/sky.jpg"
  mkdir -p "$data"
  echo "the user's list" >"$data/zodeveda.orl"
  installer_wine "$setup" /S
  installer_expect "a second install leaves the data folder as the user left it" \
    test ! -e "$data/img/sky.jpg" -a -f "$data/img/dawn.jpg"

  mkdir -p "$program"
  echo "the user's own" >"$program/notes.txt"
  installer_expect "the uninstaller runs silently" installer_wine "$program/uninstall.exe" /S
  left=$(cd "$folder" && find . ! -type d -exec test -e "$program/{}" \; -print | tr '\n' ' ')
  installer_expect "the uninstaller removes the program's files (left: $left)" test -z "$left"
  installer_expect "the uninstaller removes itself" test ! -e "$program/uninstall.exe"
  installer_expect "the uninstaller leaves files it did not install" test -f "$program/notes.txt"
  installer_expect "the uninstaller removes the Start-menu entry" test ! -e "$lnk"
  installer_expect "the uninstaller removes its registration" test -z "$(grep "$reg" "$WINEPREFIX/user.reg")"
  installer_expect "the uninstaller leaves the data folder" grep -q "the user's list" "$data/zodeveda.orl"

  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
  [ "$installer_failures" = 0 ]
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  if [ $# != 1 ]; then
    echo "usage: $0 OUT-DIR (where scripts/package-windows.sh put the zip and the installer)" >&2
    exit 2
  fi
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
  fi
  installer_test "$1"
  echo "installer_test: passed"
fi
