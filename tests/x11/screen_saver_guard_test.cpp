// SPDX-License-Identifier: GPL-3.0-or-later
// The screen-saver guard against a real X server: `xset s activate` turns the server's screen saver on,
// as its idle timer would.
#include <unistd.h>

#include <QCheckBox>

#include "support/desktop_driver.h"
#include "support/process.h"
#include "unit/app/form_fixture.h"
#include "x11/x11_environment.h"

namespace lumora::test {
namespace {

bool ScreenSaverShowing() {
  return DesktopDriver(TestXServer()).ScreenSaverShowing();
}

void ActivateScreenSaver() {
  ASSERT_TRUE(DesktopDriver(TestXServer()).ActivateScreenSaver());
}

void ResetScreenSaver() {
  RunProgram({"xset", "s", "reset"}, TestXServer().Options());
}

class ScreenSaverGuard : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    ASSERT_TRUE(ProgramAvailable("xset"));
    ResetScreenSaver();
  }
  void TearDown() override {
    ResetScreenSaver();
    FormTest::TearDown();
  }
};

TEST_F(ScreenSaverGuard, CheckedBoxRefusesEachActivationAndSaysSo) {
  TForm1& form = Form();
  ASSERT_TRUE(form.CheckBox4->isChecked());
  QApplication::processEvents();
  for (size_t round = 1; round <= 2; ++round) {
    ActivateScreenSaver();
    ASSERT_TRUE(ProcessEventsUntil([&] { return messages_.Requests().size() == round; }, 5000)) << round;
    ASSERT_TRUE(ProcessEventsUntil([] { return !ScreenSaverShowing(); }, 2000));
  }
  const MessageRequest shown = messages_.Requests().back();
  EXPECT_EQ(shown.text, "系统将启动屏幕保护程序,但被阻止");
  EXPECT_EQ(shown.caption, "信息提示");
  EXPECT_TRUE(shown.ownedByMainWindow);
}

TEST_F(ScreenSaverGuard, UncheckedBoxLetsTheScreenSaverRun) {
  TForm1& form = Form();
  form.CheckBox4->setChecked(false);
  QApplication::processEvents();
  ActivateScreenSaver();
  EXPECT_FALSE(ProcessEventsUntil([&] { return !messages_.Requests().empty(); }, 1500));
  EXPECT_TRUE(ScreenSaverShowing());
}

TEST_F(ScreenSaverGuard, NoWindowNoGuard) {
  {
    TForm1& form = Form();
    (void)form;
  }
  form_.reset();
  ActivateScreenSaver();
  EXPECT_FALSE(ProcessEventsUntil([&] { return !messages_.Requests().empty(); }, 1000));
  EXPECT_TRUE(ScreenSaverShowing());
}

}  // namespace
}  // namespace lumora::test
