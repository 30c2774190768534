// SPDX-License-Identifier: GPL-3.0-or-later
// The program while its message boxes are open, driven like a person would: the window and the tray icon
// keep answering, a box never comes twice for one cause, and "退出" from the tray ends the program with the
// boxes still open, list saved.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class OpenBoxesE2e : public LumoraSessionTest {
 protected:
  // Starts on a saved list of two entries whose files do not exist, written by hand (lone LF line ends)
  // so that the file the exit writes back (CR LF) tells that it saved the list.
  void StartOnMissingPictures() {
    S().MarkNotFirstRun();
    handWritten_ = S().Dir() / "gone1.bmp" + "\n" + S().Dir() / "gone2.bmp";
    WriteWholeFile(S().Dir() / "zodeveda.orl", handWritten_);
    lumora_ = S().Start();
    main_ = S().WaitForMainWindow();
    ASSERT_TRUE(main_) << Log();
    icon_ = S().WaitForTrayIcon();
    ASSERT_TRUE(icon_) << Log();
  }
  std::size_t Boxes(const char* caption) { return D().FindWindows(caption).size(); }
  // "最小化到托盘": once the window has gone, every event that came before the click has been handled.
  void MinimizeToTray() {
    ClickControl(*main_, 448, 448, 105, 25);
    ASSERT_TRUE(S().WaitUntilMainWindowHidden()) << "the window took no click\n" << Log();
  }
  void ExitFromTheTrayWithTheListSaved() {
    ChooseFromTrayMenu(*icon_, 2);
    EndedWithTheListSaved();
  }
  void EndedWithTheListSaved() {
    EXPECT_EQ(lumora_->Wait(10s), std::optional<int>(0)) << Log();
    EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"),
              S().Dir() / "gone1.bmp" + "\r\n" + S().Dir() / "gone2.bmp" + "\r\n");
  }

  std::string handWritten_;
  std::unique_ptr<ChildProcess> lumora_;
  std::optional<unsigned long> main_;
  std::optional<unsigned long> icon_;
};

TEST_F(OpenBoxesE2e, WhileABoxWithoutOwnerIsOpenTheWindowAndTheTrayAnswer) {
  StartOnMissingPictures();
  ClickButton(*main_, 8, 250);  // 设为墙纸, with nothing chosen
  ASSERT_TRUE(D().WaitForWindow("消息提示")) << Log();
  ClickButton(*main_, 8, 250);  // again, while its box waits for an answer
  MinimizeToTray();
  EXPECT_EQ(Boxes("消息提示"), 1u) << "one box for one click";
  D().Click(*icon_, 8, 8);  // a left click on the icon brings the window back
  main_ = S().WaitForMainWindow(5s);
  ASSERT_TRUE(main_) << Log();
  ExitFromTheTrayWithTheListSaved();
  EXPECT_EQ(Boxes("消息提示"), 0u);
}

TEST_F(OpenBoxesE2e, ATerminationSignalWhileABoxIsOpenEndsTheProgramAsExitDoes) {
  StartOnMissingPictures();
  ClickButton(*main_, 8, 250);
  ASSERT_TRUE(D().WaitForWindow("消息提示")) << Log();
  ASSERT_EQ(::kill(lumora_->Pid(), SIGTERM), 0);
  EndedWithTheListSaved();
}

// The X server's screen saver comes on again and again while the user is away: each time it is turned
// off, and the one box that says so stays the only one. The box belongs to the window; the tray's menu
// still ends the program.
TEST_F(OpenBoxesE2e, TheScreenSaverIsRefusedEachTimeWithOneBox) {
  if (!ProgramAvailable("xset")) GTEST_SKIP() << "needs xset";
  StartOnMissingPictures();
  for (int activation = 1; activation <= 3; ++activation) {
    SCOPED_TRACE(activation);
    ASSERT_TRUE(D().ActivateScreenSaver());
    ASSERT_TRUE(D().WaitForWindow("信息提示")) << Log();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (D().ScreenSaverShowing() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(D().ScreenSaverShowing()) << "refused";
  }
  // Through the tray's menu, which shows once the program has handled everything before.
  ChooseFromTrayMenu(*icon_, 0);  // 显示主窗口
  ASSERT_TRUE(S().WaitForMainWindow(5s));
  EXPECT_EQ(Boxes("信息提示"), 1u);
  ExitFromTheTrayWithTheListSaved();
}

TEST_F(OpenBoxesE2e, TwoHotKeyPressesOnMissingPicturesGiveOneBox) {
  StartOnMissingPictures();
  D().Click(*main_, 208 + 50, 272 + 8);  // 热键更换墙纸
  ClickButton(*main_, 296, 400);         // 启用: Ctrl+Q
  AnswerTitledBox("enabled");
  D().Run({"xdotool", "key", "ctrl+q"});
  D().Run({"xdotool", "key", "ctrl+q"});
  ASSERT_TRUE(D().WaitForWindow("错误提示")) << Log();
  MinimizeToTray();
  EXPECT_EQ(Boxes("错误提示"), 1u) << "the second press came while the first one's box was open";
  // Answered, the key works again: the next missing picture is reported.
  ASSERT_TRUE(D().AnswerMessageBox("错误提示"));
  D().Run({"xdotool", "key", "ctrl+q"});
  EXPECT_TRUE(D().WaitForWindow("错误提示")) << Log();
  ExitFromTheTrayWithTheListSaved();
}

}  // namespace
}  // namespace lumora::test
