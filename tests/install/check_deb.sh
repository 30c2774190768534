#!/bin/bash
# Checks the Debian package: its name, what it depends on, its description, and lintian's verdict.
# Usage: check_deb.sh DEB
set -uo pipefail
export LC_ALL=C.UTF-8
deb=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ "$(basename "$deb")" = lumora_3.1-1_amd64.deb ] || fail "package file $(basename "$deb")"
field() { dpkg-deb -f "$deb" "$1"; }
echo "Depends: $(field Depends)"
echo "Recommends: $(field Recommends)"
# Worked out from the program's libraries, so they follow the libraries of the machine that built it.
grep -qE '(^|, )libqt6widgets6' <<<"$(field Depends)" || fail "Depends does not name Qt 6"
grep -qE '(^|, )libjpeg62-turbo' <<<"$(field Depends)" || fail "Depends does not name libjpeg-turbo"
grep -qE 'fonts-(wqy|noto-cjk|arphic)' <<<"$(field Recommends)" || fail "no Chinese font recommended"
description=$(field Description)
grep -q 'wallpaper' <<<"$description" || fail "no English description"
grep -qP '\p{Han}' <<<"$description" || fail "no Chinese description"
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/bin/lumora$' <<<"$contents" || fail "no /usr/bin/lumora in the package"

report=$(lintian --tag-display-limit 0 --display-info "$deb" 2>&1)
echo "lintian:"
echo "$report"
grep -q '^E: ' <<<"$report" && fail "lintian reports errors"

[ "$failures" -eq 0 ] && echo "package $deb: all checks passed"
exit $((failures > 0))
