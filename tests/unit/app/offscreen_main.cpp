// SPDX-License-Identifier: GPL-3.0-or-later
// Widget tests run on Qt's offscreen platform: real widgets and event loop, no X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/appearance.h"
#include "jpeg/jpeg_file_formats.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The window holds the session's screen saver off from its start: not the screen saver of the session
  // the tests run in.
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  ::unsetenv("DISPLAY");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  lumora::ApplyApplicationLook();  // as the program looks, so that sizes measured here are the user's
  const lumora::JpegFileFormats jpegFiles;  // as the program registers them at start-up
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
