#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs on Debian 12 what one use of the repository needs, and nothing that is already there:
#   setup-debian.sh run      building Lumora and running it (./scripts/run.sh)
#   setup-debian.sh package  building the Debian package (./packaging/build-deb.sh)
#   setup-debian.sh test     building and running every test, and the checks of CI (./scripts/test.sh)
# Each set holds the one before it where it needs it. No system service a package brings is started or left
# enabled (lighttpd, for one, would serve port 80 on every interface): the tests start the servers they need
# themselves. Runs as root, or through sudo when it is available.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)

# What building the program needs is the package's Build-Depends, read from debian/control (without the
# debhelper compatibility level, which only the package build needs).
build_depends() {
  sed -n '/^Build-Depends:/,/^[^[:space:]]/{/^Build-Depends:/s/^Build-Depends://;/^[^[:space:]]/d;p}' \
    "$repo/debian/control" | tr ',' '\n' | sed 's/([^)]*)//; s/^[[:space:]]*//; s/[[:space:]].*//' |
    grep -v '^debhelper-compat$' | grep -v '^$'
}

# Building and running: a compiler, the Chinese font the interface needs, Liberation Sans for its Latin
# letters, Qt's own Chinese captions, xdg-open for the links; without a display, the virtual X server, the
# notification area and the screenshot tools run.sh uses.
RUN="$(build_depends) g++
  fonts-wqy-microhei fonts-liberation2 qt6-translations-l10n xdg-utils
  xvfb trayer xdotool x11-apps imagemagick"
PACKAGE="$RUN build-essential dpkg-dev debhelper lintian"
# The tests: clang with its sanitizer and fuzzing runtimes, GoogleTest, the X extensions the X11 tests use,
# the peer programs the tests and benchmarks compare against, the web server the HTTP tests talk to, what
# the desktop tests run the desktops' settings stores with, the compositor they set a wallpaper on (sway, with
# its swaybg) and grim to look at it, the screen saver the screen-saver guard is tested against, Plasma's
# shortcut daemon the hot key is tested against, what the install tests check the installed tree with, valgrind
# for the soak's leak check, and the formatting and lint tools of CI.
TEST="$PACKAGE
  clang libclang-rt-14-dev clang-format clang-tidy libgtest-dev libgmock-dev libxtst-dev libxres-dev
  x11-utils x11-xserver-utils feh xwallpaper libjpeg-turbo-progs jpeginfo libimage-exiftool-perl time lighttpd
  gnome-settings-daemon-common
  libglib2.0-bin dbus-daemon dconf-service dconf-gsettings-backend gsettings-desktop-schemas
  cinnamon-desktop-data mate-desktop-common xfconf sway swaybg grim nodejs xscreensaver libkf5globalaccel-bin
  desktop-file-utils appstream file man-db valgrind"

case "${1:-}" in
  run) packages=$RUN ;;
  package) packages=$PACKAGE ;;
  test) packages=$TEST ;;
  *)
    echo "usage: $0 run|package|test" >&2
    exit 2
    ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=""
for package in $packages; do
  installed "$package" || missing="$missing $package"
done

if [ -z "$missing" ]; then
  echo "setup: every package is installed"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null 2>&1; then
  as_root="sudo"
else
  echo "setup: these packages are missing and installing them needs root:$missing" >&2
  exit 1
fi

before=$(mktemp)
policy_made=""
cleanup() {
  rm -f "$before"
  [ -z "$policy_made" ] || $as_root rm -f /usr/sbin/policy-rc.d
}
trap cleanup EXIT
trap 'exit 130' INT TERM
dpkg-query -W -f='${Package}\n' | sort >"$before"

# While the packages are installed, invoke-rc.d and deb-systemd-invoke ask policy-rc.d before starting a
# service; "101" forbids it. One that is there already (a container's, say) is left as it is.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\n# Made by Lumora'"'"'s setup while it installs packages; removed when it ends.\nexit 101\n' |
    $as_root tee /usr/sbin/policy-rc.d >/dev/null
  $as_root chmod 755 /usr/sbin/policy-rc.d
  policy_made=1
fi

echo "setup: installing$missing"
$as_root apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing

# A package's maintainer scripts enable its services for the next boot whatever policy-rc.d says. Every
# service that came with a package installed just now (the ones asked for and what they pulled in) is
# stopped, in case something started it, and disabled, for systemd and for System V init alike.
new=$(dpkg-query -W -f='${Package}\n' | sort | comm -13 "$before" -)
for package in $new; do
  for file in $(dpkg-query -L "$package" 2>/dev/null); do
    case "$file" in
      /lib/systemd/system/*.service | /lib/systemd/system/*.socket | /usr/lib/systemd/system/*.service | \
        /usr/lib/systemd/system/*.socket)
        unit=$(basename "$file")
        state=$(systemctl is-enabled "$unit" 2>/dev/null || true)
        [ "$state" = enabled ] || continue
        if [ -d /run/systemd/system ]; then
          $as_root systemctl disable --now --quiet "$unit"
        else
          $as_root systemctl disable --quiet "$unit"
        fi
        echo "setup: disabled the system service $unit (from $package)"
        ;;
      /etc/init.d/*)
        [ -f "$file" ] || continue
        script=$(basename "$file")
        # Under systemd the unit above is what counts; the script's own links are for System V init.
        ls /etc/rc[2345].d/S??"$script" >/dev/null 2>&1 || continue
        [ -d /run/systemd/system ] || $as_root "$file" stop >/dev/null 2>&1 || true
        $as_root update-rc.d "$script" disable >/dev/null 2>&1
        echo "setup: disabled the init script $script (from $package)"
        ;;
    esac
  done
done
