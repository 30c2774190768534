// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora::platform::desktops {

// An environment variable; empty when unset.
std::string Environment(const char* name);

// XDG_CURRENT_DESKTOP lower-cased ("ubuntu:gnome"), for matching desktops by substring as other setters do.
std::string CurrentDesktop();

// A Wayland session: XDG_SESSION_TYPE says so, or a Wayland display is named. Qt may still run on Xwayland
// there, where X key grabs only see keys pressed in our own windows.
bool IsWaylandSession();

// sway: it says so in XDG_CURRENT_DESKTOP, or its IPC socket is named.
bool IsSwaySession();

}  // namespace lumora::platform::desktops
