#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks an installed tree: what a desktop, a software centre and man need, and the shipped files.
# Usage: check_tree.sh PREFIX SOURCE_DIR PROGRAM_DIR SHARED_DIR (the last two relative to PREFIX).
set -uo pipefail
export LC_ALL=C.UTF-8
prefix=$1 source=$2 program_dir=$3 shared_dir=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -x "$prefix/bin/lumora" ] || fail "no launcher bin/lumora"
file -b "$prefix/$program_dir/lumora" | grep -q '^ELF .* executable' || fail "$program_dir/lumora is no program"

desktop="$prefix/share/applications/lumora.desktop"
# Hints are suggestions, not faults.
if ! out=$(desktop-file-validate "$desktop" 2>&1) || grep -qE 'error|warning' <<<"$out"; then
  fail "desktop-file-validate: $out"
fi
value() { sed -n "s/^$1=//p" "$desktop"; }
[ -x "$prefix/bin/$(value Exec | cut -d' ' -f1)" ] || fail "Exec=$(value Exec) is not the installed command"

# Every size a desktop asks for, each picture of the size its folder claims, under the name Icon= gives.
icon=$(value Icon)
for size in 16 22 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  if [ ! -f "$png" ]; then fail "no icon $png"; continue; fi
  [ "$(identify -format '%m %wx%h' "$png")" = "PNG ${size}x${size}" ] ||
    fail "$png is $(identify -format '%m %wx%h' "$png")"
done

metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml 2>/dev/null)
if [ "$(wc -w <<<"$metainfo")" -ne 1 ]; then
  fail "not one metainfo file: $metainfo"
else
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
  grep -q '<launchable type="desktop-id">lumora.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch lumora.desktop"
  id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
  [ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "$(basename "$metainfo") is not named after $id"
fi

# The manual: formats without a warning and has the sections man and apropos read.
manual="$prefix/share/man/man1/lumora.1.gz"
if [ -f "$manual" ]; then
  text=$(MANWIDTH=80 man --warnings=all -E UTF-8 -l "$manual" 2>"$manual.warnings.txt")
  [ -s "$manual.warnings.txt" ] && fail "man: $(cat "$manual.warnings.txt")"
  rm -f "$manual.warnings.txt"
  for section in NAME SYNOPSIS DESCRIPTION XDG_DATA_HOME zodeveda.orl --next --set --style --show --quit; do
    grep -q -- "$section" <<<"$text" || fail "the manual lacks $section"
  done
else
  fail "no manual $manual"
fi

# The samples a new data directory gets, as shipped.
diff -r "$source/data/img" "$prefix/$shared_dir/img" || fail "shipped img/ differs from data/img"
cmp "$source/data/使用说明.txt" "$prefix/$shared_dir/使用说明.txt" || fail "shipped 使用说明.txt differs"

[ "$failures" -eq 0 ] && echo "installed tree $prefix: all checks passed"
exit $((failures > 0))
