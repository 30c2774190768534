// SPDX-License-Identifier: GPL-3.0-or-later
#include <initializer_list>

#include "platform/desktop_wallpaper.h"
#include "platform/linux_desktops/linux_desktops.h"
#include "platform/linux_desktops/session_kind.h"
#include "platform/null/null_backends.h"
#include "platform/x11/desktop_wallpaper_x11.h"

namespace lumora::platform {

namespace {

struct DesktopBackend {
  const char* token;  // matched anywhere in the lower-cased XDG_CURRENT_DESKTOP ("ubuntu:gnome")
  std::unique_ptr<DesktopWallpaper> (*create)();
};

// Desktops that keep a wallpaper setting of their own or take one by command, one line each, checked in
// this order: Budgie calls itself "Budgie:GNOME", so it comes before GNOME.
const std::initializer_list<DesktopBackend> kDesktopBackends = {
    {"budgie", [] { return CreateGnomeFamilyWallpaper(GnomeFlavour::Budgie); }},
    {"cinnamon", [] { return CreateGnomeFamilyWallpaper(GnomeFlavour::Cinnamon); }},
    {"mate", [] { return CreateGnomeFamilyWallpaper(GnomeFlavour::Mate); }},
    {"unity", [] { return CreateGnomeFamilyWallpaper(GnomeFlavour::Unity); }},
    {"gnome", [] { return CreateGnomeFamilyWallpaper(GnomeFlavour::Gnome); }},
    {"xfce", CreateXfceWallpaper},
    {"kde", CreateKdeWallpaper},
    {"sway", CreateSwayWallpaper},
};

}  // namespace

std::unique_ptr<DesktopWallpaper> CreateDesktopWallpaper() {
  const std::string desktop = desktops::CurrentDesktop();
  for (const DesktopBackend& backend : kDesktopBackends) {
    if (desktop.find(backend.token) != std::string::npos) return backend.create();
  }
  // sway sets SWAYSOCK for everything it starts, while XDG_CURRENT_DESKTOP is the session launcher's to set
  // and often missing when sway is started by hand. Its Xwayland would take the root painting below and
  // show none of it.
  if (!desktops::Environment("SWAYSOCK").empty()) return CreateSwayWallpaper();
  // Under another Wayland desktop with Xwayland the painted root is hidden behind the compositor's desktop
  // too, but painting does no harm there, and an X server is all that tests and bare sessions give us to
  // go by.
  if (!desktops::Environment("DISPLAY").empty()) return CreateX11RootWallpaper();
  // A Wayland session without X (or no session at all) whose desktop keeps no wallpaper setting we know:
  // there is no root window to paint either, so every change is refused and the name tells the user why.
  return CreateNullDesktopWallpaper("Wayland");
}

}  // namespace lumora::platform
