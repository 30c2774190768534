// SPDX-License-Identifier: GPL-3.0-or-later
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

#include "platform/display.h"

namespace lumora::platform {

bool WindowSystemAvailable(std::string& why) {
  // Tests and headless tools pick another Qt platform on purpose; only a real X session needs a server.
  if (const char* qpa = std::getenv("QT_QPA_PLATFORM");
      qpa != nullptr && *qpa != '\0' && std::string(qpa).rfind("xcb", 0) != 0) {
    return true;
  }
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    why = "no X display: DISPLAY is not set. Lumora needs an X11 session (or Xvfb) to run.";
    return false;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    why = std::string("cannot open the X display \"") + name + "\". Lumora needs an X11 session to run.";
    return false;
  }
  XCloseDisplay(display);
  return true;
}

}  // namespace lumora::platform
