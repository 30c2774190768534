// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a person meets it: started from a directory, splash first, one copy only, hidden by the
// close box, ended by "退出".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

using Startup = LumoraSessionTest;

TEST_F(Startup, SplashStaysThreeSecondsThenTheMainWindowShows) {
  auto lumora = S().Start();
  const auto splash = S().Driver().WaitForWindow("First", 10s);
  ASSERT_TRUE(splash) << ReadWholeFile(S().Dir() / "lumora.log");
  const auto splashSeen = std::chrono::steady_clock::now();
  EXPECT_TRUE(S().Driver().FindWindows(kMainTitle).empty());
  const WindowGeometry g = S().Driver().Geometry(*splash);
  EXPECT_EQ(g.width, 161);
  EXPECT_EQ(g.height, 137);
  EXPECT_NEAR(g.x, (1280 - 161) / 2.0, 1);  // centred on the 1280 × 1024 screen
  EXPECT_NEAR(g.y, (1024 - 137) / 2.0, 1);
  ASSERT_TRUE(S().Driver().Screenshot(*splash, S().Dir() / "splash.png"));

  const auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main);
  const auto shownAfter = std::chrono::steady_clock::now() - splashSeen;
  EXPECT_GE(shownAfter, 2000ms);  // three seconds from painting, less our (possibly slow) polling delay
  EXPECT_TRUE(S().Driver().WaitUntilGone("First", 2s));
  const WindowGeometry mg = S().Driver().Geometry(*main);
  EXPECT_EQ(mg.width, 608);
  EXPECT_EQ(mg.height, 565);

  // The screenshot the README shows.
  std::this_thread::sleep_for(300ms);
  const std::string shot = std::string(LUMORA_BINARY_DIR) + "/main-window.png";
  ASSERT_TRUE(S().Driver().Screenshot(*main, shot));
  EXPECT_GT(std::filesystem::file_size(shot), 10'000u);

  // A first run marks itself in the registry.
  EXPECT_NE(ReadWholeFile(S().Dir() / "config/lumora/registry.ini").find("sn=o"), std::string::npos);
  EXPECT_TRUE(lumora->Running());
}

TEST_F(Startup, SecondCopySaysSoAndEndsWhileTheFirstRunsOn) {
  auto first = S().Start();
  ASSERT_TRUE(S().WaitForMainWindow());
  auto second = S().Start("second.log");
  const auto box = S().Driver().WaitForWindow("提示", 10s);
  ASSERT_TRUE(box) << ReadWholeFile(S().Dir() / "second.log");
  ASSERT_TRUE(S().Driver().Screenshot(*box, S().Dir() / "second.png"));
  EXPECT_TRUE(second->Running());  // the box waits for the user
  ASSERT_TRUE(S().Driver().AnswerMessageBox("提示"));
  EXPECT_EQ(second->Wait(5s), std::optional<int>(0));
  EXPECT_TRUE(first->Running());
  EXPECT_EQ(S().Driver().FindWindows(kMainTitle).size(), 1u);
}

TEST_F(Startup, AMutexThatCannotBeCreatedIsReportedAndTheProgramEnds) {
  // Something other than a lock file in the lock's place: the system refuses the mutex.
  std::filesystem::create_directories(S().Dir() / "runtime/Lumora v2.0.lock");
  auto lumora = S().Start();
  ASSERT_TRUE(S().Driver().WaitForWindow("NoPrev", 10s)) << ReadWholeFile(S().Dir() / "lumora.log");
  ASSERT_TRUE(S().Driver().AnswerMessageBox("NoPrev"));
  EXPECT_EQ(lumora->Wait(5s), std::optional<int>(0));
  EXPECT_FALSE(S().MainWindowShown());
}

TEST_F(Startup, AnErrorWhileTheWindowIsBuiltIsShownAndTheProgramEndsCleanly) {
  // The first-run marker cannot be written when a file stands where the settings folder belongs.
  WriteWholeFile(S().Dir() / "config/lumora", "not a folder");
  auto lumora = S().Start();
  const auto box = S().Driver().WaitForWindow("Lumora v3\\.1", 15s);
  ASSERT_TRUE(box) << ReadWholeFile(S().Dir() / "lumora.log");
  EXPECT_LT(S().Driver().Geometry(*box).width, 608);  // the error box, not the main window
  ASSERT_TRUE(S().Driver().Screenshot(*box, S().Dir() / "error.png"));
  S().Driver().Run({"xdotool", "windowfocus", "--sync", std::to_string(*box)});
  S().Driver().Key(*box, "Return");
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0));
  EXPECT_FALSE(S().MainWindowShown());
}

TEST_F(Startup, CloseBoxHidesTheWindowAndTheExitButtonEndsTheProgramSavingTheList) {
  // Not a first run, with a saved list written by hand (lone LF line ends).
  S().MarkNotFirstRun();
  WriteWholeFile(S().Dir() / "zodeveda.orl", "/pictures/a.jpg\n/pictures/b.bmp");
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main);

  S().Driver().RequestClose(*main);
  EXPECT_TRUE(S().WaitUntilMainWindowHidden()) << ReadWholeFile(S().Dir() / "lumora.log");
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(lumora->Running()) << ReadWholeFile(S().Dir() / "lumora.log");
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), "/pictures/a.jpg\n/pictures/b.bmp");

  // Back from the tray through the window system, then "退出".
  S().Driver().Run({"xdotool", "windowmap", std::to_string(*main)});
  main = S().WaitForMainWindow(5s);
  ASSERT_TRUE(main);
  ClickControl(*main, 522, 528, 75, 25);
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0));
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), "/pictures/a.jpg\r\n/pictures/b.bmp\r\n");
}

TEST_F(Startup, TrayIconHidesRestoresAndEndsThroughItsMenu) {
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main);
  const auto icon = S().WaitForTrayIcon();
  ASSERT_TRUE(icon);

  ClickControl(*main, 448, 448, 105, 25);  // "最小化到托盘"
  EXPECT_TRUE(S().WaitUntilMainWindowHidden());
  EXPECT_TRUE(lumora->Running());
  D().Click(*icon, 8, 8, 1);  // a left click brings it back
  main = S().WaitForMainWindow(5s);
  ASSERT_TRUE(main);

  // The menu's items in order: 显示主窗口, 访问软件主页, 退出.
  D().RequestClose(*main);
  EXPECT_TRUE(S().WaitUntilMainWindowHidden());
  ChooseFromTrayMenu(*icon, 0);
  EXPECT_TRUE(S().WaitForMainWindow(5s)) << Log();
  ChooseFromTrayMenu(*icon, 1);
  ASSERT_TRUE(S().WaitForOpened(1)) << Log();
  EXPECT_EQ(S().Opened(), std::vector<std::string>{LUMORA_HOME_PAGE});
  ChooseFromTrayMenu(*icon, 2);
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0));
}

// Without a notification area (GNOME without an extension for it) the program still starts, and closing
// the window leaves it on the screen to be found again rather than hidden for good.
TEST(StartupWithoutTray, StartsAndClosingKeepsTheWindowWithinReach) {
  if (!XvfbServer::Available() || !ProgramAvailable("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool";
  LumoraSession session(false);
  auto lumora = session.Start();
  const auto main = session.WaitForMainWindow();
  ASSERT_TRUE(main) << ReadWholeFile(session.Dir() / "lumora.log");
  session.Driver().RequestClose(*main);
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(lumora->Running());
  EXPECT_TRUE(session.MainWindowShown());
}

TEST_F(Startup, IdleProgramUsesNoMeasurableProcessorTime) {
  auto lumora = S().Start();
  ASSERT_TRUE(S().WaitForMainWindow());
  std::this_thread::sleep_for(1s);
  auto cpuTicks = [&] {
    std::ifstream stat("/proc/" + std::to_string(lumora->Pid()) + "/stat");
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
      if (i == 14 || i == 15) ticks += std::stol(field);  // user and system time
    }
    return ticks;
  };
  const long before = cpuTicks();
  std::this_thread::sleep_for(5s);
  const long used = cpuTicks() - before;
  // A spinning wait would burn all five seconds (500 ticks); an idle window wakes only for its timers.
  EXPECT_LT(used, 50) << "ticks of 1/100 s";
}

TEST(NoDisplay, ClearOneLineMessageInsteadOfAnAbort) {
  ProcessOptions options;
  options.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  const RunResult result = RunProgram({LumoraSession::Binary()}, options, 20s);
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.exitCode, 134);  // no abort
  EXPECT_NE(result.output.find("DISPLAY"), std::string::npos) << result.output;
  EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;

  options.setEnv["DISPLAY"] = ":4999";  // nothing listens there
  const RunResult unreachable = RunProgram({LumoraSession::Binary()}, options, 20s);
  EXPECT_NE(unreachable.exitCode, 0);
  EXPECT_NE(unreachable.output.find(":4999"), std::string::npos) << unreachable.output;
}

}  // namespace
}  // namespace lumora::test
