// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktops/session_kind.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace lumora::platform::desktops {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string CurrentDesktop() {
  std::string desktop = Environment("XDG_CURRENT_DESKTOP");
  std::transform(desktop.begin(), desktop.end(), desktop.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return desktop;
}

bool IsWaylandSession() {
  return Environment("XDG_SESSION_TYPE") == "wayland" || !Environment("WAYLAND_DISPLAY").empty();
}

bool IsSwaySession() {
  return CurrentDesktop().find("sway") != std::string::npos || !Environment("SWAYSOCK").empty();
}

}  // namespace lumora::platform::desktops
