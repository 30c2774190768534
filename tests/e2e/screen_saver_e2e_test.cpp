// SPDX-License-Identifier: GPL-3.0-or-later
// "禁用屏保" inside desktops whose screen saver never asks the window: the session's idle watch is held off
// while the box is checked, through the first service that answers, and given back when it is unchecked
// and at exit.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "e2e/lumora_session.h"
#include "support/private_bus.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class ScreenSaverInDesktops : public LumoraSessionTest {
 protected:
  void SetUp() override {
    LumoraSessionTest::SetUp();
    if (IsSkipped()) return;
    S().MarkNotFirstRun();
  }
  // The program with the extra environment, its main window up.
  std::unique_ptr<ChildProcess> StartLumora(const std::map<std::string, std::string>& environment) {
    ProcessOptions options = S().Options();
    options.outputFile = S().Dir() / "lumora.log";
    options.setEnv.insert(environment.begin(), environment.end());
    auto lumora = std::make_unique<ChildProcess>(std::vector<std::string>{LumoraSession::Binary()}, options);
    window_ = S().WaitForMainWindow();
    EXPECT_TRUE(window_) << Log();
    return lumora;
  }
  void ClickScreenSaverBox() { ClickControl(*window_, 8, 285, 81, 17); }
  void Exit() { ClickButton(*window_, 522, 528); }

  std::optional<unsigned long> window_;
};

std::vector<std::string> Calls(const std::string& record) {
  std::vector<std::string> lines;
  std::istringstream text(ReadWholeFile(record));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

TEST_F(ScreenSaverInDesktops, TheFirstServiceThatAnswersHoldsTheIdleWatchWhileTheBoxIsChecked) {
  if (!ProgramAvailable("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed";
  const std::string kFreedesktop = "org.freedesktop.ScreenSaver", kGnome = "org.gnome.SessionManager",
                    kPortal = "org.freedesktop.portal.Desktop";
  const struct {
    std::vector<std::string> services;
    std::vector<std::string> calls;  // checked at start, unchecked, checked, exit
  } desktops[] = {
      {{kFreedesktop, kGnome, kPortal},
       {"ScreenSaver Inhibit lumora 1", "ScreenSaver UnInhibit 1", "ScreenSaver Inhibit lumora 2",
        "ScreenSaver UnInhibit 2"}},
      {{kGnome, kPortal},
       {"SessionManager Inhibit lumora 8 1", "SessionManager Uninhibit 1",
        "SessionManager Inhibit lumora 8 2", "SessionManager Uninhibit 2"}},
      {{kPortal},
       {"Portal Inhibit 8 /org/freedesktop/portal/desktop/request/1",
        "Request Close /org/freedesktop/portal/desktop/request/1",
        "Portal Inhibit 8 /org/freedesktop/portal/desktop/request/2",
        "Request Close /org/freedesktop/portal/desktop/request/2"}},
  };
  for (const auto& desktop : desktops) {
    SCOPED_TRACE(desktop.services.front());
    const std::string folder = S().Dir() / ("bus-" + std::to_string(desktop.services.size()));
    std::filesystem::create_directories(folder);
    PrivateBus bus(folder);
    const std::string record = folder + "/calls.txt";
    std::vector<std::string> argv = {SCREEN_SAVER_STAND_IN, record};
    argv.insert(argv.end(), desktop.services.begin(), desktop.services.end());
    ProcessOptions onBus;
    onBus.setEnv["DBUS_SESSION_BUS_ADDRESS"] = bus.Address();
    ChildProcess standIn(argv, onBus);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(record + ".ready"); }));

    auto lumora = StartLumora(onBus.setEnv);
    ASSERT_TRUE(window_);
    const auto expect = [&](std::size_t count) {
      EXPECT_TRUE(WaitFor([&] { return Calls(record).size() >= count; }));
      EXPECT_EQ(Calls(record),
                std::vector<std::string>(desktop.calls.begin(), desktop.calls.begin() + count));
    };
    expect(1);
    ClickScreenSaverBox();
    expect(2);
    ClickScreenSaverBox();
    expect(3);
    Exit();
    EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
    expect(4);
  }
}

// The real xscreensaver at a ten-second time-out, with or without its D-Bus helper, xscreensaver-systemd
// (which offers org.freedesktop.ScreenSaver once it holds logind's sleep lock, here from the stand-in).
class XScreenSaver : public ScreenSaverInDesktops {
 protected:
  void SetUp() override {
    ScreenSaverInDesktops::SetUp();
    if (IsSkipped()) return;
    if (!ProgramAvailable("xscreensaver") || !ProgramAvailable("dbus-daemon")) {
      GTEST_SKIP() << "xscreensaver or dbus-daemon is not installed";
    }
    WriteWholeFile(S().Dir() / ".xscreensaver",
                   "timeout:\t0:00:10\nmode:\tblank\nlock:\tFalse\nsplash:\tFalse\nfade:\tFalse\n");
    environment_["HOME"] = S().Dir().Path();
  }
  // Starts xscreensaver; with helper, on a bus where the helper can start (the bus is the system bus too).
  void StartXScreenSaver(bool helper) {
    std::string address = "unix:path=" + S().Dir() / "no-bus";
    if (helper) {
      bus_ = std::make_unique<PrivateBus>(S().Dir().Path());
      address = bus_->Address();
      ProcessOptions onBus;
      onBus.setEnv["DBUS_SESSION_BUS_ADDRESS"] = address;
      logind_ = std::make_unique<ChildProcess>(
          std::vector<std::string>{SCREEN_SAVER_STAND_IN, S().Dir() / "calls.txt", "org.freedesktop.login1"},
          onBus);
      ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(S().Dir() / "calls.txt.ready"); }));
    }
    environment_["DBUS_SESSION_BUS_ADDRESS"] = address;
    environment_["DBUS_SYSTEM_BUS_ADDRESS"] = address;
    ProcessOptions options = S().Options();
    options.setEnv.insert(environment_.begin(), environment_.end());
    options.outputFile = S().Dir() / "xscreensaver.log";
    xscreensaver_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"xscreensaver", "-no-splash", "-verbose"}, options);
    ASSERT_TRUE(WaitFor([&] { return Command("-version").exitCode == 0; }));
  }
  RunResult Command(const char* option) {
    ProcessOptions options = S().Options();
    options.setEnv.insert(environment_.begin(), environment_.end());
    return RunProgram({"xscreensaver-command", option}, options);
  }
  bool Blanked() { return Command("-time").output.find(": screen blanked") != std::string::npos; }

  void ExpectBlankingOnlyWhileUnchecked() {
    auto lumora = StartLumora(environment_);
    ASSERT_TRUE(window_);
    EXPECT_FALSE(WaitFor([&] { return Blanked(); }, 20000)) << ReadWholeFile(S().Dir() / "xscreensaver.log");
    ClickScreenSaverBox();
    EXPECT_TRUE(WaitFor([&] { return Blanked(); }, 25000))
        << Command("-time").output << ReadWholeFile(S().Dir() / "xscreensaver.log") << Log();
  }

  std::map<std::string, std::string> environment_;
  std::unique_ptr<PrivateBus> bus_;
  std::unique_ptr<ChildProcess> logind_;
  std::unique_ptr<ChildProcess> xscreensaver_;
};

TEST_F(XScreenSaver, WithoutItsHelperTheScreenBlanksOnlyOnceTheBoxIsUnchecked) {
  StartXScreenSaver(false);
  ExpectBlankingOnlyWhileUnchecked();
}

// The idle timer is reset, the user's own "blank now" is left alone.
TEST_F(XScreenSaver, AScreenBlankedOnPurposeStaysBlankedWhileTheBoxIsChecked) {
  StartXScreenSaver(false);
  auto lumora = StartLumora(environment_);
  ASSERT_TRUE(window_);
  ASSERT_TRUE(WaitFor(
      [&] { return ReadWholeFile(S().Dir() / "xscreensaver.log").find("DEACTIVATE") != std::string::npos; }));
  const RunResult activate = Command("-activate");
  ASSERT_EQ(activate.exitCode, 0) << activate.output;
  ASSERT_TRUE(WaitFor([&] { return Blanked(); }));
  EXPECT_FALSE(WaitFor([&] { return !Blanked(); }, 8000));
}

TEST_F(XScreenSaver, WithItsHelperTheScreenBlanksOnlyOnceTheBoxIsUnchecked) {
  StartXScreenSaver(true);
  ASSERT_TRUE(WaitFor([&] {
    return ReadWholeFile(S().Dir() / "xscreensaver.log")
               .find("registered as \"org.freedesktop.ScreenSaver\"") != std::string::npos;
  })) << ReadWholeFile(S().Dir() / "xscreensaver.log");
  ExpectBlankingOnlyWhileUnchecked();
  EXPECT_NE(ReadWholeFile(S().Dir() / "xscreensaver.log").find("inhibited by \"lumora\""), std::string::npos);
}

}  // namespace
}  // namespace lumora::test
