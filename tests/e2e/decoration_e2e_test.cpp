// The buttons that lead out of the program: the home page, the download site and the help file, each
// handed to the shell (a recording xdg-open), and the help file looked for in the current directory.
#include <gtest/gtest.h>

#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

using LinksE2e = LumoraSessionTest;

TEST_F(LinksE2e, ButtonsHandTheConfiguredAddressesAndTheHelpFileToTheShell) {
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

TEST_F(LinksE2e, HelpFileMissingFromTheCurrentDirectoryIsReportedAndNothingOpens) {
  auto lumora = S().Start();
  const auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickControl(*main, 522, 488, 75, 25);  // 使用说明
  AnswerTitledBox("使用说明 without the file");
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(S().Opened().empty());
  EXPECT_TRUE(lumora->Running());
}

}  // namespace
}  // namespace lumora::test
