// The screen-saver guard against a real X server: `xset s activate` turns the server's screen saver on,
// as its idle timer would.
#include <unistd.h>

#include <QCheckBox>

#include "support/process.h"
#include "unit/app/form_fixture.h"
#include "x11/x11_environment.h"

// Xlib last: its macros would break Qt's headers.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace lumora::test {
namespace {

// The server's own view of its screen saver, from a connection of the test's.
int ScreenSaverState() {
  Display* dpy = XOpenDisplay(TestXServer().Display().c_str());
  if (dpy == nullptr) return -1;
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  int state = -1;
  if (XScreenSaverQueryInfo(dpy, DefaultRootWindow(dpy), info)) state = info->state;
  XFree(info);
  XCloseDisplay(dpy);
  return state;
}

void ActivateScreenSaver() {
  const RunResult result = RunProgram({"xset", "s", "activate"}, TestXServer().Options());
  ASSERT_EQ(result.exitCode, 0) << result.output;
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
    ASSERT_TRUE(ProcessEventsUntil([] { return ScreenSaverState() == ScreenSaverOff; }, 2000));
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
  EXPECT_EQ(ScreenSaverState(), ScreenSaverOn);
}

TEST_F(ScreenSaverGuard, NoWindowNoGuard) {
  {
    TForm1& form = Form();
    (void)form;
  }
  form_.reset();
  ActivateScreenSaver();
  EXPECT_FALSE(ProcessEventsUntil([&] { return !messages_.Requests().empty(); }, 1000));
  EXPECT_EQ(ScreenSaverState(), ScreenSaverOn);
}

}  // namespace
}  // namespace lumora::test
