// SPDX-License-Identifier: GPL-3.0-or-later
// Which way this session lets a program have global keys, chosen once at start.
#include "platform/hot_keys.h"
#include "platform/linux_desktops/linux_hot_keys.h"
#include "platform/linux_desktops/session_kind.h"
#include "platform/x11/hot_keys_x11.h"

namespace lumora::platform {

std::unique_ptr<GlobalHotKeys> CreateGlobalHotKeys(GlobalHotKeys::PressHandler pressed) {
  const std::string desktop = desktops::CurrentDesktop();
  if (desktop.find("kde") != std::string::npos) {
    if (auto plasma = CreateKGlobalAccelHotKeys(pressed)) return plasma;
  }
  if (desktops::IsWaylandSession()) {
    // Under Wayland an X grab through Xwayland only sees keys typed into our own windows: a hot key that
    // works only while Lumora has the focus is no hot key, so the compositor is asked, or the user is.
    if (desktop.find("gnome") != std::string::npos) {
      if (auto keys = CreateGnomeHotKeys(pressed)) return keys;
    }
    if (desktops::IsSwaySession()) return CreateManualHotKeys(ConfiguredCompositor::Sway);
    if (desktop.find("hyprland") != std::string::npos)
      return CreateManualHotKeys(ConfiguredCompositor::Hyprland);
    return CreateManualHotKeys(ConfiguredCompositor::Other);
  }
  return CreateX11HotKeys(std::move(pressed));
}

}  // namespace lumora::platform
