#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian packages that packaging/build-deb.sh left in a directory: the program's package (its name,
# version, what it depends on, its description), its debug-symbol package, and lintian's verdict on both.
# Usage: check_deb.sh DIRECTORY VERSION (the project's version)
set -uo pipefail
export LC_ALL=C.UTF-8
dir=$1 version=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

arch=$(dpkg --print-architecture)
deb="$dir/lumora_${version}-1_${arch}.deb"
dbgsym="$dir/lumora-dbgsym_${version}-1_${arch}.deb"
changes="$dir/lumora_${version}-1_${arch}.changes"
for file in "$deb" "$dbgsym" "$changes"; do
  [ -f "$file" ] || fail "no $(basename "$file") in $dir: $(ls "$dir")"
done
[ "$failures" -eq 0 ] || exit 1

field() { dpkg-deb -f "$deb" "$1"; }
echo "Depends: $(field Depends)"
echo "Recommends: $(field Recommends)"
[ "$(field Version)" = "${version}-1" ] || fail "Version $(field Version), not the project's ${version}-1"
# Worked out from the program's libraries, so they follow the libraries of the machine that built it.
grep -qE '(^|, )libqt6widgets6' <<<"$(field Depends)" || fail "Depends does not name Qt 6"
grep -qE '(^|, )libjpeg62-turbo' <<<"$(field Depends)" || fail "Depends does not name libjpeg-turbo"
# The interface is Chinese: a font with Chinese glyphs is needed, any of several.
grep -qE '(^|, )fonts-wqy-microhei \| fonts-noto-cjk( \||,|$)' <<<"$(field Depends)" ||
  fail "Depends does not name a Chinese font with alternatives"
description=$(field Description)
grep -q 'wallpaper' <<<"$description" || fail "no English description"
grep -qP '\p{Han}' <<<"$description" || fail "no Chinese description"
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/bin/lumora$' <<<"$contents" || fail "no /usr/bin/lumora in the package"
grep -q ' ./usr/share/doc/lumora/copyright$' <<<"$contents" || fail "no copyright file in the package"

# The debug symbols of the program, found by its build id as gdb looks them up.
unpacked=$(mktemp -d)
trap 'rm -rf -- "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
build_id=$(readelf -n "$unpacked/usr/libexec/lumora/lumora" | sed -n 's/.*Build ID: *//p')
[ -n "$build_id" ] || fail "the program has no build id"
grep -q " ./usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug$" <<<"$(dpkg-deb -c "$dbgsym")" ||
  fail "the debug-symbol package lacks the program's symbols (build id $build_id)"
[ "$(dpkg-deb -f "$dbgsym" Depends)" = "lumora (= ${version}-1)" ] ||
  fail "the debug-symbol package depends on $(dpkg-deb -f "$dbgsym" Depends)"

# Both packages as an upload: no error and no warning, save that a first upload closes no bug.
report=$(lintian --tag-display-limit 0 --display-info "$changes" 2>&1)
echo "lintian:"
echo "$report"
grep -E '^[EW]: ' <<<"$report" | grep -v ' initial-upload-closes-no-bugs' | grep -q . &&
  fail "lintian reports errors or warnings"

[ "$failures" -eq 0 ] && echo "packages in $dir: all checks passed"
exit $((failures > 0))
