#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Lumora with every test (unit, widget, X11 under a private Xvfb, end-to-end, fuzzing) and runs
# them all.
#   --sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   --quick     builds and runs only the unit and widget tests (no X server, no real program): the
#               edit-build-test loop, under a minute once built
#   --configure only configures the test build (for tools that read its compile_commands.json)
# With CI=true a skipped test fails the run: tests skip when a peer program they compare against (djpeg,
# cjpeg, ImageMagick, exiftool…) is missing, and a green run must mean every comparison was made.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/setup-debian.sh" test

sanitize=OFF
build="$repo/out/build-test"
targets=()
# The tests of the Windows program under Wine are scripts/test-windows.sh's.
ctest_args=(--output-on-failure --parallel 2 --timeout 300 --label-exclude '^wine$')
case "${1:-}" in
  --sanitize)
    sanitize=ON
    build="$repo/out/build-sanitize"
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ;;
  --quick)
    targets=(--target quick_tests)
    ctest_args+=(--label-regex '^(unit|widget)$')
    ;;
  --configure) ;;
  "") ;;
  *)
    echo "usage: $0 [--sanitize | --quick | --configure]" >&2
    exit 2
    ;;
esac

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DLUMORA_WERROR=ON -DLUMORA_FUZZ=ON -DLUMORA_SANITIZE="$sanitize" >/dev/null
[ "${1:-}" = --configure ] && exit 0
cmake --build "$build" "${targets[@]}"
cd "$build"
if [ "${CI:-}" != "true" ]; then
  exec ctest "${ctest_args[@]}"
fi
echo "CI: a skipped test fails this run"
log="$build/ctest-output.log"
status=0
ctest "${ctest_args[@]}" 2>&1 | tee "$log" || status=$?
# ctest's summary, the last lines above, lists each skipped test as "<n> - <name> (Skipped)".
if grep -q -- ' (Skipped)$' "$log"; then
  status=1
fi
exit "$status"
