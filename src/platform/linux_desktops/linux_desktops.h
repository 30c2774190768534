// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "platform/desktop_wallpaper.h"

namespace lumora::platform {

// The desktops that keep their wallpaper in GSettings, each under its own schema.
enum class GnomeFlavour { Gnome, Unity, Budgie, Cinnamon, Mate };

// GNOME, Unity, Budgie: org.gnome.desktop.background; Cinnamon: org.cinnamon.desktop.background; MATE:
// org.mate.background. A schema that is not installed makes every change fail, never the creation.
std::unique_ptr<DesktopWallpaper> CreateGnomeFamilyWallpaper(GnomeFlavour flavour);

// XFCE: the xfce4-desktop channel of xfconfd, over the session bus.
std::unique_ptr<DesktopWallpaper> CreateXfceWallpaper();

// KDE Plasma: scripts sent to plasmashell over the session bus.
std::unique_ptr<DesktopWallpaper> CreateKdeWallpaper();

// sway and the compositors that answer its IPC: swaymsg's "output * bg", with the style and the wallpaper's
// path in our own store. A missing swaymsg or sway makes every apply fail, never the creation.
std::unique_ptr<DesktopWallpaper> CreateSwayWallpaper();

}  // namespace lumora::platform
