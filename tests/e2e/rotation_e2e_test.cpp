// SPDX-License-Identifier: GPL-3.0-or-later
// Changing the wallpaper by itself, driven through the window: a one-second timed rotation in both list
// orders, and the global hot key pressed from outside the program.
#include <gtest/gtest.h>

#include <array>
#include <future>
#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class RotationE2e : public LumoraSessionTest {
 protected:
  void PressKeys(const std::string& keys) { D().Run({"xdotool", "key", keys}); }
};

TEST_F(RotationE2e, OneSecondRotationTopDownThenBottomUp) {
  SetUpColourList();
  auto lumora = S().Start();
  const auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  D().Click(*main, 30, 408);            // 平铺: the picture then shows in every corner of the screen
  D().Click(*main, 97 + 28, 360 + 10);  // the interval box
  PressKeys("ctrl+a");
  D().Run({"xdotool", "type", "1"});
  ClickButton(*main, 185, 360);  // 确定
  AnswerTitledBox("OK");
  // Watched from before the start, so a slow answer to the start message misses no change.
  auto watched = std::async(std::launch::async, [this] { return Watch(4); });
  ClickButton(*main, 97, 400);  // 开始
  AnswerTitledBox("start");
  EXPECT_EQ(watched.get(), (std::vector<int>{0, 1, 2, 0})) << Log();
  ClickButton(*main, 185, 400);  // 停止
  AnswerTitledBox("stop");
  // The root window shows the picture the wallpaper file holds.
  const int shown = Shown();
  ASSERT_GE(shown, 0);
  ASSERT_TRUE(D().Screenshot(0, S().Dir() / "root.png"));
  std::array<int, 3> colour{};
  colour[static_cast<std::size_t>(shown)] = 255;
  EXPECT_EQ(PixelAt(S().Dir() / "root.png", 5, 5), std::optional(colour));
  D().Click(*main, 504 + 44, 380 + 10);  // the order list: 从下到上
  PressKeys("Down");
  PressKeys("Return");
  ClickButton(*main, 185, 360);
  AnswerTitledBox("OK again");
  watched = std::async(std::launch::async, [this] { return Watch(4); });
  ClickButton(*main, 97, 400);
  AnswerTitledBox("start again");
  EXPECT_EQ(watched.get(), (std::vector<int>{2, 1, 0, 2})) << Log();
  ClickButton(*main, 522, 528);  // 退出 ends a running rotation too
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
}

TEST_F(RotationE2e, HotKeyStepsPerPressFromAnywhereUntilDisabled) {
  SetUpColourList();
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();

  // Another program holds Ctrl+Q: enabling says so and leaves the buttons as they were.
  ChildProcess grab({std::string(LUMORA_BINARY_DIR) + "/tests/e2e/key_grab_tool", "q"}, [&] {
    ProcessOptions options = S().Options();
    options.outputFile = S().Dir() / "grab.txt";
    return options;
  }());
  for (int i = 0; i < 100 && ReadWholeFile(S().Dir() / "grab.txt").empty(); ++i)
    std::this_thread::sleep_for(50ms);
  ASSERT_EQ(ReadWholeFile(S().Dir() / "grab.txt"), "grabbed\n");
  D().Click(*main, 208 + 50, 272 + 8);  // 热键更换墙纸
  ClickButton(*main, 296, 400);         // 启用
  ASSERT_TRUE(D().AnswerMessageBox("更换墙纸热键启用失败")) << Log();
  grab.Terminate();

  ClickButton(*main, 296, 400);
  AnswerTitledBox("enabled");
  PressKeys("ctrl+q");
  EXPECT_TRUE(WaitForShown(0)) << Log();
  PressKeys("Num_Lock");
  PressKeys("ctrl+q");
  EXPECT_TRUE(WaitForShown(1)) << Log();
  PressKeys("Num_Lock");
  // Hidden in the tray, the key still works.
  D().RequestClose(*main);
  ASSERT_TRUE(S().WaitUntilMainWindowHidden());
  PressKeys("ctrl+q");
  EXPECT_TRUE(WaitForShown(2)) << Log();

  const auto icon = S().WaitForTrayIcon();
  ASSERT_TRUE(icon);
  D().Click(*icon, 8, 8);
  main = S().WaitForMainWindow(5s);
  ASSERT_TRUE(main);
  ClickButton(*main, 392, 400);  // 停用
  AnswerTitledBox("disabled");
  PressKeys("ctrl+q");
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(Shown(), 2) << "the key no longer fires";
}

}  // namespace
}  // namespace lumora::test
