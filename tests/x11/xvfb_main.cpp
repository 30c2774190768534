// SPDX-License-Identifier: GPL-3.0-or-later
// X11 tests run the real widgets against an X server of their own: one Xvfb for the whole binary.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "support/xvfb.h"
#include "x11/x11_environment.h"

namespace lumora::test {
namespace {
XvfbServer* g_server = nullptr;
}
const XvfbServer& TestXServer() {
  return *g_server;
}
}  // namespace lumora::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // listing needs no X server
  if (!lumora::test::XvfbServer::Available()) {
    std::fprintf(stderr, "Xvfb is not installed: the X11 tests need it (see the README's set-up)\n");
    return 1;
  }
  auto server = std::make_unique<lumora::test::XvfbServer>();
  lumora::test::g_server = server.get();
  ::setenv("DISPLAY", server->Display().c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  // An X session, whatever the session the tests are started from: run from sway, say, the window would
  // set that session's wallpaper.
  for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "SWAYSOCK", "XDG_CURRENT_DESKTOP"})
    ::unsetenv(name);
  // The window holds the session's screen saver off from its start: not the screen saver of the session
  // the tests run in.
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    result = RUN_ALL_TESTS();
  }
  return result;
}
