// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/desktop_driver.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <cstdio>
#include <sstream>
#include <thread>

namespace lumora::test {

RunResult DesktopDriver::Run(const std::vector<std::string>& argv) const {
  return RunProgram(argv, server_.Options(), std::chrono::seconds(30));
}

namespace {

std::vector<unsigned long> WindowIds(const RunResult& result) {
  std::vector<unsigned long> windows;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
      windows.push_back(std::stoul(line));
  }
  return windows;
}

}  // namespace

std::vector<unsigned long> DesktopDriver::FindWindows(const std::string& titleRegex) const {
  return WindowIds(Run({"xdotool", "search", "--onlyvisible", "--name", "^" + titleRegex + "$"}));
}

std::vector<unsigned long> DesktopDriver::FindWindowsOfClass(const std::string& windowClass) const {
  return WindowIds(Run({"xdotool", "search", "--onlyvisible", "--class", "^" + windowClass + "$"}));
}

std::optional<unsigned long> DesktopDriver::WaitForWindow(const std::string& titleRegex,
                                                          std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    if (auto found = FindWindows(titleRegex); !found.empty()) return found.front();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

bool DesktopDriver::WaitUntilGone(const std::string& titleRegex, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    if (FindWindows(titleRegex).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

WindowGeometry DesktopDriver::Geometry(unsigned long window) const {
  const RunResult result = Run({"xdotool", "getwindowgeometry", "--shell", std::to_string(window)});
  WindowGeometry geometry;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const int value = std::atoi(line.c_str() + eq + 1);
    if (key == "X") geometry.x = value;
    if (key == "Y") geometry.y = value;
    if (key == "WIDTH") geometry.width = value;
    if (key == "HEIGHT") geometry.height = value;
  }
  return geometry;
}

std::string DesktopDriver::Title(unsigned long window) const {
  std::string name = Run({"xdotool", "getwindowname", std::to_string(window)}).output;
  while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
  return name;
}

void DesktopDriver::Click(unsigned long window, int x, int y, int button) const {
  Run({"xdotool", "mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y),
       "click", std::to_string(button)});
}

void DesktopDriver::Key(unsigned long window, const std::string& keys) const {
  Run({"xdotool", "key", "--window", std::to_string(window), keys});
}

bool DesktopDriver::AnswerMessageBox(const std::string& caption) const {
  const auto box = WaitForWindow(caption);
  if (!box) return false;
  // Without a window manager the box has no focus of its own until it is given one; a box that has only
  // just appeared may not take keys yet, so press again until it goes.
  for (int attempt = 0; attempt < 5; ++attempt) {
    Run({"xdotool", "windowfocus", "--sync", std::to_string(*box)});
    // A real key press (XTEST) on the focused box: a sent key event can leave an owned box's modal state
    // behind in Qt, and later boxes then never show.
    Run({"xdotool", "key", "Return"});
    if (WaitUntilGone(caption, std::chrono::seconds(1))) return true;
  }
  return false;
}

void DesktopDriver::RequestClose(unsigned long window) const {
  // What a window manager sends when the user clicks the close box.
  Display* dpy = XOpenDisplay(server_.Display().c_str());
  if (dpy == nullptr) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, window, False, NoEventMask, &event);
  XCloseDisplay(dpy);
}

bool DesktopDriver::ActivateScreenSaver() const {
  return Run({"xset", "s", "activate"}).exitCode == 0;
}

bool DesktopDriver::ScreenSaverShowing() const {
  Display* dpy = XOpenDisplay(server_.Display().c_str());
  if (dpy == nullptr) return false;
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  const bool on =
      XScreenSaverQueryInfo(dpy, DefaultRootWindow(dpy), info) != 0 && info->state == ScreenSaverOn;
  XFree(info);
  XCloseDisplay(dpy);
  return on;
}

bool DesktopDriver::Screenshot(unsigned long window, const std::string& pngPath) const {
  const std::string xwdPath = pngPath + ".xwd";
  const std::vector<std::string> capture =
      window == 0
          ? std::vector<std::string>{"xwd", "-silent", "-root", "-out", xwdPath}
          : std::vector<std::string>{"xwd", "-silent", "-id", std::to_string(window), "-out", xwdPath};
  if (Run(capture).exitCode != 0) return false;
  const bool ok = Run({"/usr/bin/convert", "xwd:" + xwdPath, pngPath}).exitCode == 0;
  std::remove(xwdPath.c_str());
  return ok;
}

}  // namespace lumora::test
