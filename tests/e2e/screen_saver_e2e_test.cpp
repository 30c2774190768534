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
    if (!ProgramAvailable("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed";
    S().MarkNotFirstRun();
    NoBus();
  }
  // A session bus (the system bus too) with nobody on it but the stand-in, owning the names given.
  void StartServices(const std::vector<std::string>& names) {
    standIn_.reset();
    const std::string folder = S().Dir() / ("bus" + std::to_string(++buses_));
    std::filesystem::create_directories(folder);
    bus_ = std::make_unique<PrivateBus>(folder);
    environment_["DBUS_SESSION_BUS_ADDRESS"] = environment_["DBUS_SYSTEM_BUS_ADDRESS"] = bus_->Address();
    record_ = folder + "/calls.txt";
    std::vector<std::string> argv = {SCREEN_SAVER_STAND_IN, record_};
    argv.insert(argv.end(), names.begin(), names.end());
    standIn_ = std::make_unique<ChildProcess>(argv, Options());
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(record_ + ".ready"); }));
  }
  void NoBus() {
    environment_["DBUS_SESSION_BUS_ADDRESS"] = environment_["DBUS_SYSTEM_BUS_ADDRESS"] =
        "unix:path=" + S().Dir() / "no-bus";
  }
  ProcessOptions Options() const {
    ProcessOptions options = session_->Options();
    for (const auto& [name, value] : environment_) options.setEnv[name] = value;
    return options;
  }
  // The program, its main window up.
  std::unique_ptr<ChildProcess> StartLumora() {
    ProcessOptions options = Options();
    options.outputFile = S().Dir() / "lumora.log";
    auto lumora = std::make_unique<ChildProcess>(std::vector<std::string>{LumoraSession::Binary()}, options);
    window_ = S().WaitForMainWindow();
    EXPECT_TRUE(window_) << Log();
    return lumora;
  }
  void ClickScreenSaverBox() { ClickControl(*window_, 8, 285, 81, 17); }
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::istringstream text(ReadWholeFile(record_));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

  std::map<std::string, std::string> environment_;
  std::unique_ptr<PrivateBus> bus_;
  std::unique_ptr<ChildProcess> standIn_;
  std::string record_;
  int buses_ = 0;
  std::optional<unsigned long> window_;
};

TEST_F(ScreenSaverInDesktops, TheFirstServiceThatAnswersHoldsTheIdleWatchWhileTheBoxIsChecked) {
  const std::string kFreedesktop = "org.freedesktop.ScreenSaver", kGnome = "org.gnome.SessionManager",
                    kPortal = "org.freedesktop.portal.Desktop",
                    kRequest = "/org/freedesktop/portal/desktop/request/";
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
       {"Portal Inhibit 8 " + kRequest + "1", "Request Close " + kRequest + "1",
        "Portal Inhibit 8 " + kRequest + "2", "Request Close " + kRequest + "2"}},
  };
  for (const auto& desktop : desktops) {
    SCOPED_TRACE(desktop.services.front());
    StartServices(desktop.services);
    auto lumora = StartLumora();
    ASSERT_TRUE(window_);
    const auto expect = [&](std::size_t count) {
      EXPECT_TRUE(WaitFor([&] { return Calls().size() >= count; }));
      EXPECT_EQ(Calls(), std::vector<std::string>(desktop.calls.begin(), desktop.calls.begin() + count));
    };
    expect(1);
    ClickScreenSaverBox();
    expect(2);
    ClickScreenSaverBox();
    expect(3);
    ClickButton(*window_, 522, 528);  // "退出"
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
    if (!ProgramAvailable("xscreensaver")) GTEST_SKIP() << "xscreensaver is not installed";
    WriteWholeFile(S().Dir() / ".xscreensaver",
                   "timeout:\t0:00:10\nmode:\tblank\nlock:\tFalse\nsplash:\tFalse\nfade:\tFalse\n");
    environment_["HOME"] = S().Dir().Path();
  }
  void StartXScreenSaver() {
    ProcessOptions options = Options();
    options.outputFile = S().Dir() / "xscreensaver.log";
    xscreensaver_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"xscreensaver", "-no-splash", "-verbose"}, options);
    ASSERT_TRUE(WaitFor([&] { return Command("-version").exitCode == 0; }));
  }
  RunResult Command(const char* option) const {
    return RunProgram({"xscreensaver-command", option}, Options());
  }
  bool Blanked() const { return Command("-time").output.find(": screen blanked") != std::string::npos; }
  bool Logged(const std::string& text) const {
    return ReadWholeFile(session_->Dir() / "xscreensaver.log").find(text) != std::string::npos;
  }

  void ExpectBlankingOnlyOnceUnchecked() {
    auto lumora = StartLumora();
    ASSERT_TRUE(window_);
    EXPECT_FALSE(WaitFor([&] { return Blanked(); }, 20000)) << ReadWholeFile(S().Dir() / "xscreensaver.log");
    ClickScreenSaverBox();
    EXPECT_TRUE(WaitFor([&] { return Blanked(); }, 25000)) << Command("-time").output;
  }

  std::unique_ptr<ChildProcess> xscreensaver_;
};

TEST_F(XScreenSaver, WithoutItsHelperTheScreenBlanksOnlyOnceTheBoxIsUnchecked) {
  StartXScreenSaver();
  ExpectBlankingOnlyOnceUnchecked();
}

// Its helper resets the idle timer about once a minute: at a shorter time-out that alone would not do.
TEST_F(XScreenSaver, WithItsHelperTheScreenBlanksOnlyOnceTheBoxIsUnchecked) {
  StartServices({"org.freedesktop.login1"});
  StartXScreenSaver();
  ASSERT_TRUE(WaitFor([&] { return Logged("registered as \"org.freedesktop.ScreenSaver\""); }));
  ExpectBlankingOnlyOnceUnchecked();
  EXPECT_TRUE(Logged("inhibited by \"lumora\""));
}

// The idle timer is reset, the user's own "blank now" is left alone.
TEST_F(XScreenSaver, AScreenBlankedOnPurposeStaysBlankedWhileTheBoxIsChecked) {
  StartXScreenSaver();
  auto lumora = StartLumora();
  ASSERT_TRUE(window_);
  ASSERT_TRUE(WaitFor([&] { return Logged("DEACTIVATE"); }));
  // A reset on its way may cross the request: xscreensaver then answers neither clearly, so ask again.
  ASSERT_TRUE(WaitFor([&] { return Command("-activate").exitCode == 0 && Blanked(); }));
  EXPECT_FALSE(WaitFor([&] { return !Blanked(); }, 8000));
}

}  // namespace
}  // namespace lumora::test
