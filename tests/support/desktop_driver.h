// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/xvfb.h"

namespace lumora::test {

struct WindowGeometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// Drives programs on an X server the way a person would: finds windows by their title, clicks, types,
// answers message boxes and takes screenshots (xdotool, xwd and ImageMagick underneath).
class DesktopDriver {
 public:
  explicit DesktopDriver(const XvfbServer& server) : server_(server) {}

  // Visible windows whose title matches the regular expression exactly.
  std::vector<unsigned long> FindWindows(const std::string& titleRegex) const;
  // Visible windows of a program, by its window class (the program's name).
  std::vector<unsigned long> FindWindowsOfClass(const std::string& windowClass) const;
  std::optional<unsigned long> WaitForWindow(
      const std::string& titleRegex, std::chrono::milliseconds timeout = std::chrono::seconds(15)) const;
  bool WaitUntilGone(const std::string& titleRegex,
                     std::chrono::milliseconds timeout = std::chrono::seconds(15)) const;
  WindowGeometry Geometry(unsigned long window) const;
  std::string Title(unsigned long window) const;

  // Clicks with the left (1) or right (3) button at a point inside the window.
  void Click(unsigned long window, int x, int y, int button = 1) const;
  void Key(unsigned long window, const std::string& keys) const;
  // Presses Return in the message box with that caption: its default button, OK.
  bool AnswerMessageBox(const std::string& caption) const;
  // Asks the window to close, as the title bar's close box does.
  void RequestClose(unsigned long window) const;

  // Turns the server's screen saver on, as its idle timer would (`xset s activate`); false if xset failed.
  bool ActivateScreenSaver() const;
  // Whether the server's screen saver is on now, by the server's own account.
  bool ScreenSaverShowing() const;

  // Writes a PNG of the window (or of the whole screen when window is 0).
  bool Screenshot(unsigned long window, const std::string& pngPath) const;

  RunResult Run(const std::vector<std::string>& argv) const;

 private:
  const XvfbServer& server_;
};

}  // namespace lumora::test
