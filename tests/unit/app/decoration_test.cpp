// SPDX-License-Identifier: GPL-3.0-or-later
// The window's painted background and its logo animation.
#include <QPaintEvent>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>

#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

using Decoration = FormTest;

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(Decoration, BackgroundBandsRunFromFullBlueDownOverTheOuterHeight) {
  TForm1& form = Form();
  // No title bar here: the outer height is the client's 565, so each band is 565 / 256 rows high.
  ASSERT_EQ(form.frameGeometry().height(), 565);
  for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) child->hide();
  const QImage picture = form.grab().toImage();
  // Band k starts at row trunc(k × 565 / 256): rows 0–1 are 255, 2–3 254, 300–301 119, 560–561 1.
  const std::pair<int, int> rows[] = {{0, 255}, {1, 255}, {3, 254}, {300, 119}, {301, 119}, {561, 1}};
  for (const auto& [row, blue] : rows) {
    for (int column : {0, 300, 607}) {
      EXPECT_EQ(picture.pixelColor(column, row), QColor(0, 0, blue)) << column << "," << row;
    }
  }
}

// Each of the 81 steps (widths 0, 2, … 160) is painted as it happens, one frame after another, and the
// logo ends one pixel smaller than its 161 × 137 place, there and on every later tick.
TEST_F(Decoration, LogoAnimationPaintsEveryStepAndEndsAt160By136) {
  TForm1& form = Form();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QApplication::processEvents();
  PaintCounter counter;
  form.installEventFilter(&counter);
  form.Timer2Timer();
  EXPECT_EQ(form.Image1->size(), QSize(0, 0));
  EXPECT_TRUE(ProcessEventsUntil([&] { return form.Image1->width() == 80; }));
  EXPECT_EQ(form.Image1->geometry(), QRect(264, 466, 80, 68));
  EXPECT_TRUE(ProcessEventsUntil([&] { return form.Image1->width() == 160; }));
  QTest::qWait(100);
  EXPECT_EQ(counter.paints, 81);
  EXPECT_EQ(form.Image1->geometry(), QRect(224, 432, 160, 136));
  form.Timer2Timer();
  EXPECT_TRUE(ProcessEventsUntil([&] { return form.Image1->width() == 160; }));
  QTest::qWait(100);
  EXPECT_EQ(form.Image1->geometry(), QRect(224, 432, 160, 136));
  form.removeEventFilter(&counter);
}

// Hidden to the tray or minimised, the window runs no logo frames and paints nothing, however often Timer2
// ticks; a sequence under way when the window went goes on from where it stopped once the window is back.
TEST_F(Decoration, HiddenOrMinimisedWindowRunsNoFramesAndPaintsNothing) {
  TForm1& form = Form();
  // Timer2 ticks every 20 ms while we watch, through its own signal.
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] { QMetaObject::invokeMethod(form.Timer2, "timeout"); });
  ticks.start(20);
  PaintCounter counter;
  form.installEventFilter(&counter);
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"hidden", [&] { form.hide(); }},
      {"minimised", [&] { form.Button1->click(); }},  // no notification area here: to the task bar
  };
  for (const auto& [how, leave] : ways) {
    SCOPED_TRACE(how);
    form.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.Image1->width() > 0 && form.Image1->width() < 100; }));
    leave();
    ASSERT_TRUE(!form.isVisible() || form.isMinimized());
    QApplication::processEvents();
    const QRect left = form.Image1->geometry();
    counter.paints = 0;
    std::set<std::pair<int, int>> sizesSeen;
    ProcessEventsUntil(
        [&] {
          sizesSeen.insert({form.Image1->width(), form.Image1->height()});
          return false;
        },
        500);
    EXPECT_EQ(sizesSeen, (std::set<std::pair<int, int>>{{left.width(), left.height()}}));
    EXPECT_EQ(counter.paints, 0);

    form.showNormal();
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.Image1->width() == 160; }));
    EXPECT_GT(counter.paints, 0);
    EXPECT_EQ(form.Image1->geometry(), QRect(224, 432, 160, 136));
  }
  form.removeEventFilter(&counter);
}

}  // namespace
}  // namespace lumora::test
