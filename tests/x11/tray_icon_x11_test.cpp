// SPDX-License-Identifier: GPL-3.0-or-later
// The tray icon against a real notification area: trayer on the test's Xvfb, started and ended by the tests.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <optional>

#include "support/desktop_driver.h"
#include "tray/tray_icon.h"
#include "x11/x11_environment.h"

namespace lumora::test {
namespace {

// A window of this program docked in the panel at the top: the icon as trayer holds it.
std::optional<unsigned long> DockedIcon() {
  const DesktopDriver driver(TestXServer());
  for (unsigned long window : driver.FindWindowsOfClass(QCoreApplication::applicationName().toStdString())) {
    const WindowGeometry g = driver.Geometry(window);
    if (g.width <= 32 && g.height <= 32 && g.y < 24) return window;
  }
  return std::nullopt;
}

class TrayIconX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ProgramAvailable("trayer") || !ProgramAvailable("xdotool"))
      GTEST_SKIP() << "needs trayer and xdotool";
    Server().StopTrayHost();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
    window.resize(200, 100);
    window.show();
  }
  void TearDown() override { Server().StopTrayHost(); }
  static XvfbServer& Server() { return const_cast<XvfbServer&>(TestXServer()); }

  QWidget window;
  TTrayIcon tray{nullptr, &window};
};

TEST_F(TrayIconX11, IconShownBeforeTheHostDocksWhenItStartsAndAClickRestores) {
  tray.SetVisible(true);
  tray.SetRestoreOn(imLeftClickUp);
  QTest::qWait(200);
  EXPECT_FALSE(DockedIcon());

  Server().StartTrayHost();
  std::optional<unsigned long> icon;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (icon = DockedIcon()).has_value(); }, 10000));
  tray.Minimize();
  ASSERT_FALSE(window.isVisible());

  DesktopDriver(Server()).Click(*icon, 4, 4, 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible(); }, 5000));
}

TEST_F(TrayIconX11, HostGoingAwayBringsTheHiddenWindowBack) {
  Server().StartTrayHost();
  tray.SetVisible(true);
  ASSERT_TRUE(QTest::qWaitFor([] { return DockedIcon().has_value(); }, 10000));
  tray.Minimize();
  ASSERT_FALSE(window.isVisible());

  Server().StopTrayHost();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible(); }, 10000));
}

}  // namespace
}  // namespace lumora::test
