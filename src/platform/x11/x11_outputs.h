// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace lumora::platform {

// What a desktop that keeps one wallpaper per output and workspace needs to know of the X session.
struct X11Outputs {
  std::vector<std::string>
      names;           // connected RandR outputs with a CRTC ("HDMI-1", "eDP-1"), in RandR's order
  int workspaces = 1;  // _NET_NUMBER_OF_DESKTOPS, 1 when no window manager says
};

// The outputs of $DISPLAY; no names when there is no X display or no RandR.
X11Outputs ReadX11Outputs();

}  // namespace lumora::platform
