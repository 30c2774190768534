// SPDX-License-Identifier: GPL-3.0-or-later
// The buttons that lead out of the program: the home page, the download site and the help file, each
// handed to the shell (a recording xdg-open), and the help file looked for in the current directory.
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

using DecorationE2e = LumoraSessionTest;

TEST_F(DecorationE2e, ButtonsHandTheConfiguredAddressesAndTheHelpFileToTheShell) {
  WriteWholeFile(S().Dir() / "使用说明.txt", "帮助");
  auto lumora = S().Start();
  const auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickControl(*main, 400, 488, 105, 25);  // 访问软件主页
  ASSERT_TRUE(S().WaitForOpened(1)) << Log();
  ClickControl(*main, 400, 528, 105, 25);  // 访问Tavrin
  ASSERT_TRUE(S().WaitForOpened(2)) << Log();
  ClickControl(*main, 522, 488, 75, 25);  // 使用说明
  ASSERT_TRUE(S().WaitForOpened(3)) << Log();
  EXPECT_EQ(S().Opened(),
            (std::vector<std::string>{LUMORA_HOME_PAGE, LUMORA_DOWNLOAD_SITE, S().Dir() / "使用说明.txt"}));
}

TEST_F(DecorationE2e, HelpFileMissingFromTheCurrentDirectoryIsReportedAndNothingOpens) {
  auto lumora = S().Start();
  const auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickControl(*main, 522, 488, 75, 25);  // 使用说明
  AnswerTitledBox("使用说明 without the file");
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(S().Opened().empty());
  EXPECT_TRUE(lumora->Running());
}

// Every five seconds the logo shrinks to a point and grows back over the painted background: a screenshot
// taken meanwhile shows the dark blue of the gradient where the logo's corner was.
TEST_F(DecorationE2e, LogoAnimationUncoversTheGradient) {
  auto lumora = S().Start();
  const auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  std::optional<std::array<int, 3>> uncovered;
  const auto deadline = std::chrono::steady_clock::now() + 12s;
  while (!uncovered && std::chrono::steady_clock::now() < deadline) {
    ASSERT_TRUE(D().Screenshot(*main, S().Dir() / "window.png"));
    const auto pixel = PixelAt(S().Dir() / "window.png", 230, 440);
    // Black is a window not painted yet (a slow start); the gradient is blue there.
    if (pixel && (*pixel)[0] == 0 && (*pixel)[1] == 0 && (*pixel)[2] > 0) uncovered = pixel;
  }
  ASSERT_TRUE(uncovered) << "the logo's corner never showed the background";
  // Row 440 of a window without a title bar lies in band 440 × 256 / 565: blue 56, or one band either way.
  EXPECT_NEAR((*uncovered)[2], 56, 1);
}

}  // namespace
}  // namespace lumora::test
