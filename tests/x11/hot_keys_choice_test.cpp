// SPDX-License-Identifier: GPL-3.0-or-later
// Which hot keys the session gets: under Wayland no X grab is trusted, and the user is told what to bind
// where, never that the combination is taken.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <cstdlib>
#include <string>

#include "platform/hot_keys.h"
#include "support/process.h"

namespace lumora::test {
namespace {

using platform::HotKeyResult;
using platform::kModAlt;
using platform::kModControl;

class HotKeysChoice : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* name : {"XDG_SESSION_TYPE", "SWAYSOCK", "XDG_CURRENT_DESKTOP", "LUMORA_LAUNCHER"}) {
      ::unsetenv(name);
    }
    ::setenv("PATH", path_.c_str(), 1);
  }
  static std::string Program() { return QCoreApplication::applicationFilePath().toStdString(); }

  const std::string path_ = std::getenv("PATH");
};

TEST_F(HotKeysChoice, WaylandCompositorsGetTheLineToBindAndNoGrab) {
  ::setenv("XDG_SESSION_TYPE", "wayland", 1);
  ::setenv("SWAYSOCK", "/run/user/1000/sway-ipc.sock", 1);
  auto keys = platform::CreateGlobalHotKeys([](int) {});
  EXPECT_EQ(keys->Register(1, kModControl, 'Q'), HotKeyResult::NotOffered);
  platform::ManualHotKey manual = keys->ManualBinding(kModControl | kModAlt, 'Q');
  EXPECT_EQ(manual.line, "bindsym Ctrl+Mod1+q exec " + Program() + " --next");
  EXPECT_EQ(manual.where, "~/.config/sway/config");

  ::unsetenv("SWAYSOCK");
  ::setenv("XDG_CURRENT_DESKTOP", "Hyprland", 1);
  manual = platform::CreateGlobalHotKeys([](int) {})->ManualBinding(kModControl | kModAlt, 'Q');
  EXPECT_EQ(manual.line, "bind = CTRL ALT, Q, exec, " + Program() + " --next");

  // A compositor whose configuration is unknown: the command alone. Started through a launcher that is
  // on PATH, the command is its plain name; a launcher elsewhere is named in full and quoted.
  ::setenv("XDG_CURRENT_DESKTOP", "niri", 1);
  ScratchDirectory scratch;
  const std::string bin = scratch / "it's here";
  ASSERT_EQ(::mkdir(bin.c_str(), 0700), 0);
  const std::string launcher = bin + "/lumora";
  WriteWholeFile(launcher, "#!/bin/sh\n");
  ASSERT_EQ(::chmod(launcher.c_str(), 0700), 0);
  ::setenv("LUMORA_LAUNCHER", launcher.c_str(), 1);
  EXPECT_EQ(platform::CreateGlobalHotKeys([](int) {})->ManualBinding(0, '5').line,
            "'" + scratch.Path() + "/it'\\''s here/lumora' --next");
  ::setenv("PATH", (bin + ":" + path_).c_str(), 1);
  EXPECT_EQ(platform::CreateGlobalHotKeys([](int) {})->ManualBinding(0, '5').line, "lumora --next");
}

TEST_F(HotKeysChoice, AnXSessionGrabsThroughTheServer) {
  auto keys = platform::CreateGlobalHotKeys([](int) {});
  EXPECT_EQ(keys->Register(1, kModControl, 'Q'), HotKeyResult::Registered);
  EXPECT_TRUE(keys->ManualBinding(kModControl, 'Q').line.empty());
  // So does Plasma where its shortcut service is not on the session bus (here: no bus at all).
  keys.reset();
  ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  EXPECT_EQ(platform::CreateGlobalHotKeys([](int) {})->Register(1, kModControl, 'Q'),
            HotKeyResult::Registered);
}

}  // namespace
}  // namespace lumora::test
