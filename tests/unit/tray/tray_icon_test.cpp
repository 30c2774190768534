// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/exceptions.h"
#include "tray/image_list.h"

namespace lumora {
namespace {

using platform::NotifyIconRecord;

// A notification area that records what it is asked and answers as told.
struct FakeShell : platform::NotificationIcon {
  bool Add(const NotifyIconRecord& r) override { return Record("add", r); }
  bool Modify(const NotifyIconRecord& r) override { return Record("modify", r); }
  bool Delete(const NotifyIconRecord& r) override { return Record("delete", r); }
  void SetMouseCallback(std::function<void(unsigned)> callback) override { mouse = std::move(callback); }
  bool HostPresent() const override { return host; }
  void SetHostCallback(std::function<void(bool)> callback) override { hostChanged = std::move(callback); }
  bool Record(const char* what, const NotifyIconRecord& r) {
    calls.emplace_back(what, r);
    return !refuse;
  }

  std::vector<std::pair<std::string, NotifyIconRecord>> calls;
  bool refuse = false;
  bool host = true;
  std::function<void(unsigned)> mouse;
  std::function<void(bool)> hostChanged;
};

QPixmap Filled(Qt::GlobalColor color) {
  QPixmap picture(16, 16);
  picture.fill(color);
  return picture;
}

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() {
    window.show();
    icons->Add(Filled(Qt::red));
    QObject::connect(menu, &QMenu::aboutToShow, [this] { log += "menu "; });
    tray.OnRestore = [this](QObject*) { log += "restore "; };
  }
  platform::IconPixels LastPicture() const { return shell.calls.back().second.icon; }

  FakeShell& shell = *new FakeShell;
  QWidget window;
  TImageList* icons = new TImageList(&window);
  QMenu* menu = new QMenu(&window);
  TTrayIcon tray{nullptr, &window, std::unique_ptr<FakeShell>(&shell)};
  std::string log;
};

TEST_F(TrayIconTest, EachMouseCodeRestoresAndShowsTheMenuOnItsOwnActions) {
  // The actions each code (512 + index) stands for, in the order the component goes through them.
  const std::vector<TTrayIconMessage> actions[] = {{},
                                                   {imMouseDown},
                                                   {imClick, imMouseUp, imLeftClickUp},
                                                   {imDoubleClick, imLeftDoubleClick},
                                                   {imMouseDown},
                                                   {imMouseUp, imRightClickUp},
                                                   {imDoubleClick, imRightDoubleClick},
                                                   {imMouseDown},
                                                   {imMouseUp},
                                                   {imDoubleClick}};
  tray.SetPopupMenu(menu);
  for (bool clickAssigned : {false, true}) {
    tray.OnClick = clickAssigned ? TTrayIcon::TNotifyEvent([](QObject*) {}) : nullptr;
    for (int restoreOn = imClick; restoreOn <= imNone; ++restoreOn) {
      for (int menuOn = imClick; menuOn <= imNone; ++menuOn) {
        for (unsigned code = 512; code <= 521; ++code) {
          std::string expected;
          for (TTrayIconMessage step : actions[code - 512]) {
            if (step == imClick && !clickAssigned) continue;
            if (step == restoreOn) expected += "restore ";
            if (step == menuOn) expected += "menu ";
          }
          tray.SetRestoreOn(static_cast<TTrayIconMessage>(restoreOn));
          tray.SetPopupMenuOn(static_cast<TTrayIconMessage>(menuOn));
          log.clear();
          shell.mouse(code);
          menu->hide();
          ASSERT_EQ(log, expected) << "code " << code << ", RestoreOn " << restoreOn << ", PopupMenuOn "
                                   << menuOn << ", OnClick " << clickAssigned;
        }
      }
    }
  }
}

TEST_F(TrayIconTest, HintUpTo63BytesIsSentAndEmptyOneClearsOnlyTheTipFlag) {
  tray.SetVisible(true);
  const QString longest(63, QLatin1Char('h'));
  tray.SetHint(longest);
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[1].first, "modify");
  EXPECT_EQ(shell.calls[1].second.tip, longest.toStdString());
  EXPECT_EQ(shell.calls[1].second.flags, platform::kNifMessage | platform::kNifIcon | platform::kNifTip);

  tray.SetHint(QString(64, QLatin1Char('x')));
  tray.SetHint(QString(22, QChar(0x58C1)));  // 66 bytes in UTF-8
  tray.SetHint(longest);
  EXPECT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(tray.GetHint(), longest);

  tray.SetHint(QString());
  EXPECT_EQ(shell.calls.back().second.flags, platform::kNifMessage | platform::kNifIcon);
  EXPECT_EQ(LastPicture(), shell.calls[0].second.icon);
  tray.SetHint(QStringLiteral("Lumora v3.1"));
  EXPECT_EQ(shell.calls.back().second.flags & platform::kNifTip, platform::kNifTip);
}

TEST_F(TrayIconTest, VisibleAddsOrDeletesOnEveryCallSessionEndDeletesAndRefusalsRaise) {
  tray.SetHint(QStringLiteral("kept while removed"));
  EXPECT_TRUE(shell.calls.empty());
  tray.SetVisible(true);
  tray.SetVisible(true);
  tray.SetVisible(false);
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(shell.calls[0].first + shell.calls[1].first + shell.calls[2].first, "addadddelete");
  EXPECT_EQ(shell.calls[0].second.tip, "kept while removed");
  EXPECT_FALSE(tray.GetHide());
  tray.SetVisible(true);
  TTrayIcon::TMessage end{TTrayIcon::kWmEndSession, 1, 0, 0};
  tray.DoMessage(end);
  EXPECT_EQ(shell.calls.back().first, "delete");
  EXPECT_TRUE(tray.GetVisible());

  shell.refuse = true;
  auto raised = [this](bool visible) {
    try {
      tray.SetVisible(visible);
    } catch (const EOutOfResources& e) {
      return e.Message();
    }
    return std::string("nothing");
  };
  EXPECT_EQ(raised(true), "Cannot Create System Shell Notification Icon");
  EXPECT_TRUE(tray.GetVisible());
  EXPECT_EQ(raised(false), "Cannot Remove System Shell Notification Icon");
}

TEST_F(TrayIconTest, AnimationNeedsIconsAndCyclesThroughThem) {
  tray.SetAnimate(true);
  EXPECT_FALSE(tray.GetAnimate());

  tray.SetAnimateInterval(5);
  tray.SetIcons(icons);
  tray.SetVisible(true);
  tray.SetAnimate(true);
  QTest::qWait(40);
  EXPECT_EQ(tray.GetIconIndex(), 0);

  icons->Add(Filled(Qt::green));
  icons->Add(Filled(Qt::blue));
  shell.calls.clear();
  ASSERT_TRUE(QTest::qWaitFor([&] { return shell.calls.size() >= 12; }));
  std::vector<std::uint32_t> shown;  // the frames as they change
  for (const auto& [what, record] : shell.calls) {
    if (shown.empty() || shown.back() != record.icon.argb.at(0)) shown.push_back(record.icon.argb.at(0));
  }
  ASSERT_GE(shown.size(), 6u);
  for (std::size_t i = 3; i < shown.size(); ++i) EXPECT_EQ(shown[i], shown[i - 3]) << i;
  EXPECT_NE(shown[0], shown[2]);
}

TEST_F(TrayIconTest, LoadedShowsTheFirstImageOrTheApplicationIconWithoutIcons) {
  tray.SetVisible(true);
  const platform::IconPixels applicationIcon = LastPicture();
  tray.SetIcons(icons);
  tray.Loaded();
  EXPECT_EQ(LastPicture().width, 16);
  EXPECT_EQ(LastPicture().argb.at(0), QColor(Qt::red).rgba());

  tray.SetAnimate(true);
  delete icons;
  EXPECT_EQ(tray.GetIcons(), nullptr);
  tray.Loaded();
  EXPECT_FALSE(tray.GetAnimate());
  EXPECT_EQ(LastPicture(), applicationIcon);
}

TEST_F(TrayIconTest, DestroyedMenuIsNoLongerShown) {
  tray.SetPopupMenu(menu);
  tray.SetPopupMenuOn(imRightClickUp);
  delete menu;
  EXPECT_EQ(tray.GetPopupMenu(), nullptr);
  shell.mouse(platform::kWmRButtonUp);
  EXPECT_EQ(log, "");
}

TEST_F(TrayIconTest, WindowsOwnMinimiseGoesToTheTrayOnlyWhileTheIconIsShown) {
  tray.SetVisible(true);
  window.showMinimized();  // as from the title bar
  QCoreApplication::processEvents();
  EXPECT_FALSE(window.isVisible());

  tray.Restore();
  tray.SetVisible(false);
  window.showMinimized();
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.isVisible());
}

// An index outside the image list keeps the picture shown, so this session's notification area can
// always take the icon, then and after the end of configuration.
TEST(TrayIconIndex, OutOfRangeKeepsAPictureTheNotificationAreaCanShow) {
  QWidget window;
  auto* icons = new TImageList(&window);
  icons->Add(Filled(Qt::red));
  TTrayIcon tray(nullptr, &window);
  tray.SetIcons(icons);
  tray.Loaded();
  for (int index : {1, -1}) {
    SCOPED_TRACE(index);
    tray.SetIconIndex(index);
    EXPECT_EQ(tray.GetIconIndex(), index);
    EXPECT_NO_THROW(tray.SetVisible(true));
    tray.Loaded();
    EXPECT_EQ(tray.CurrentIcon().toImage().pixelColor(8, 8), QColor(Qt::red));
    EXPECT_NO_THROW(tray.SetVisible(true));
  }
}

TEST(QtNotificationIcon, RefusesOnlyAnIconWithoutAPicture) {
  const auto shell = platform::CreateNotificationIcon();
  NotifyIconRecord record;
  EXPECT_FALSE(shell->Add(record));
  record.icon = {1, 1, {0xFF00FF00u}};
  EXPECT_TRUE(shell->Add(record));  // no tray host on this platform: the icon waits for one
  EXPECT_TRUE(shell->Delete(record));
}

}  // namespace
}  // namespace lumora
