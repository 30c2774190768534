#!/bin/sh
# Installs what Lumora needs to build, run and test on Debian 12, and nothing that is already there.
# Runs as root, or through sudo when it is available.
set -eu

PACKAGES="
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libx11-dev libxss-dev libxtst-dev libxrandr-dev libxext-dev libx11-xcb-dev libjpeg62-turbo-dev
  libxres-dev
  libgtest-dev libgmock-dev
  xvfb xdotool x11-apps x11-utils x11-xserver-utils trayer feh hsetroot
  imagemagick libjpeg-turbo-progs jpeginfo libimage-exiftool-perl time lighttpd
  fonts-wqy-microhei fonts-liberation2
  libglib2.0-dev libglib2.0-bin dbus-daemon dconf-service dconf-gsettings-backend gsettings-desktop-schemas
  cinnamon-desktop-data mate-desktop-common xfconf nodejs
  desktop-file-utils appstream lintian dpkg-dev file man-db
"

missing=""
for package in $PACKAGES; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $package" ;;
  esac
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

echo "setup: installing$missing"
$as_root apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing
