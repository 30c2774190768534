// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace lumora::test {

namespace {

// Waits until the X server answers, so a test never races the server's start.
bool ServerAnswers(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (dpy == nullptr) return false;
  XCloseDisplay(dpy);
  return true;
}

bool TraySelectionOwned(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (dpy == nullptr) return false;
  const Atom selection = XInternAtom(dpy, "_NET_SYSTEM_TRAY_S0", False);
  const bool owned = XGetSelectionOwner(dpy, selection) != None;
  XCloseDisplay(dpy);
  return owned;
}

}  // namespace

bool XvfbServer::Available() {
  return ProgramAvailable("Xvfb");
}

XvfbServer::XvfbServer(int width, int height, int depth) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  // -displayfd lets the server pick a free display number and tell us which.
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  ProcessOptions options;
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                               "-nolisten", "tcp", "-noreset", "+extension", "MIT-SCREEN-SAVER"},
      options);
  ::close(fds[1]);
  std::string number;
  pollfd pfd{fds[0], POLLIN, 0};
  while (::poll(&pfd, 1, 15000) > 0) {
    char c = 0;
    if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not report a display number");
  display_ = ":" + number;
  for (int i = 0; i < 250 && !ServerAnswers(display_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

XvfbServer::~XvfbServer() {
  trayHost_.reset();
  server_.reset();
}

void XvfbServer::Stop() const {
  server_->Terminate();
}

ProcessOptions XvfbServer::Options() const {
  ProcessOptions options;
  options.setEnv["DISPLAY"] = display_;
  options.unsetEnv = {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP", "SWAYSOCK",
                      "DBUS_SESSION_BUS_ADDRESS"};
  return options;
}

void XvfbServer::StartTrayHost() {
  trayHost_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                               "--width", "120", "--heighttype", "pixel", "--height", "24", "--SetDockType",
                               "false"},
      Options());
  for (int i = 0; i < 250 && !TraySelectionOwned(display_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!TraySelectionOwned(display_)) throw std::runtime_error("the tray host did not start");
}

void XvfbServer::StopTrayHost() {
  trayHost_.reset();
}

}  // namespace lumora::test
