// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window reads when it is built, how closing hides it, and what the real exit does.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <filesystem>

#include "app/controls.h"
#include "toolkit/exceptions.h"
#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

constexpr const char* kMarkerKey = "\\SOFTWARE\\VezeVuru\\ZodeVeda";

using MainFormLifecycle = FormTest;

TEST_F(MainFormLifecycle, FixedFilesLiveInTheStartDirectory) {
  TForm1& form = Form();
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(form.AppDir, cwd);
  EXPECT_EQ(form.BmpFile, cwd + "/zodeveda.bmp");
  EXPECT_EQ(form.JpgFile, cwd + "/zodeveda.jpg");
  EXPECT_FALSE(form.NoticeAccepted);
  EXPECT_FALSE(form.ExitAllowed);
  EXPECT_EQ(form.DragX, 0);
  EXPECT_EQ(form.DragY, 0);
}

TEST_F(MainFormLifecycle, DirectoryPathsLongerThan255CharactersAreKept) {
  std::string deep = dir_.Path();
  while (deep.size() < 600) {
    deep += "/" + std::string(60, 'd');
    std::filesystem::create_directory(deep);
  }
  ASSERT_EQ(::chdir(deep.c_str()), 0);
  TForm1& form = Form();
  EXPECT_EQ(form.AppDir, deep);
  EXPECT_EQ(form.BmpFile, deep + "/zodeveda.bmp");
}

TEST_F(MainFormLifecycle, FirstRunSetsTheMarkerAndIgnoresTheAutoSavedList) {
  WriteWholeFile(dir_ / "zodeveda.orl", "/old/a.jpg\r\n");
  TForm1& form = Form();
  EXPECT_TRUE(form.FirstRunMark.empty());
  EXPECT_EQ(ReadRegistry(HKEY_LOCAL_MACHINE, kMarkerKey, "sn"), "o");
  EXPECT_EQ(form.ListBox1->count(), 0);

  // The next start is no first run: the saved list comes back, in order, empty entries included.
  WriteWholeFile(dir_ / "zodeveda.orl", "/p/one.jpg\r\n\r\n/p/two.bmp\n/p/three.jpg");
  Rebuild();
  EXPECT_EQ(form_->FirstRunMark, "o");
  ASSERT_EQ(form_->ListBox1->count(), 4);
  EXPECT_EQ(form_->ListBox1->item(0)->text(), "/p/one.jpg");
  EXPECT_EQ(form_->ListBox1->item(1)->text(), "");
  EXPECT_EQ(form_->ListBox1->item(2)->text(), "/p/two.bmp");
  EXPECT_EQ(form_->ListBox1->item(3)->text(), "/p/three.jpg");
}

// The mark says the user has run the program somewhere; a directory it has never ended in (no saved list)
// still gets its own pictures, and once the list is saved there the next start reads it.
TEST_F(MainFormLifecycle, FirstStartInADirectoryListsItsPicturesWhateverTheMarkSays) {
  WriteRegistry(HKEY_LOCAL_MACHINE, kMarkerKey, "sn", "o");
  std::filesystem::create_directory(dir_ / "img");
  WriteWholeFile(dir_ / "img/a.jpg", "");
  EXPECT_EQ(Form().ListBox1->Entries(), std::vector<std::string>{dir_ / "img/a.jpg"});
  EXPECT_EQ(form_->FirstRunMark, "o");

  form_->ListBox1->SetEntry(0, "/mine.jpg");
  form_->BitBtn3->click();
  Rebuild();
  EXPECT_EQ(form_->ListBox1->Entries(), std::vector<std::string>{"/mine.jpg"});
  // A user who deletes the list starts the directory afresh.
  std::filesystem::remove(dir_ / "zodeveda.orl");
  Rebuild();
  EXPECT_EQ(form_->ListBox1->Entries(), std::vector<std::string>{dir_ / "img/a.jpg"});
}

TEST_F(MainFormLifecycle, DisplayStyleFollowsTheDesktopSettings) {
  struct Case {
    const char* tile;
    const char* style;
    int checked;  // 1, 2 or 3
  };
  const Case cases[] = {{"0", "0", 1}, {"1", "0", 3}, {"0", "2", 2},
                        {"1", "2", 1}, {"", "", 1},   {"0 ", "2", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tile) + "/" + c.style);
    *desktop_ = DesktopRecord();
    desktop_->style = {c.tile, c.style};
    Rebuild();
    EXPECT_EQ(form_->RadioButton1->isChecked(), c.checked == 1);
    EXPECT_EQ(form_->RadioButton2->isChecked(), c.checked == 2);
    EXPECT_EQ(form_->RadioButton3->isChecked(), c.checked == 3);
    // Checking stretched or tiled runs its handler once: the same pair back, one redraw. Otherwise the
    // settings are left alone.
    const int handled = c.checked == 1 ? 0 : 1;
    EXPECT_EQ(desktop_->styleWrites, handled);
    EXPECT_EQ(desktop_->reapplies, handled);
    EXPECT_EQ(desktop_->style, (platform::DisplayStylePair{c.tile, c.style}));
  }
}

TEST_F(MainFormLifecycle, CloseBoxHidesToTheTrayAndWritesNothing) {
  TForm1& form = Form();
  form.ListBox1->addItem("/p/a.jpg");
  form.show();
  QSignalSpy closed(&form, &TForm1::Closed);
  EXPECT_FALSE(form.close());
  EXPECT_EQ(closed.count(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "zodeveda.orl"));
  EXPECT_TRUE(form.Timer2->isActive());
  // Without a notification area the window goes to the task bar instead of vanishing for good.
  EXPECT_TRUE(form.isHidden() || form.isMinimized());
}

TEST_F(MainFormLifecycle, ExitSavesTheListStopsTimersAndEnds) {
  TForm1& form = Form();
  form.ListBox1->addItems({"/p/一.jpg", "", "/p/two.bmp"});
  form.Timer1->start();
  QSignalSpy closed(&form, &TForm1::Closed);
  form.BitBtn3->click();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(form.ExitAllowed);
  EXPECT_EQ(ReadWholeFile(dir_ / "zodeveda.orl"), "/p/一.jpg\r\n\r\n/p/two.bmp\r\n");
  EXPECT_FALSE(form.Timer1->isActive());
  EXPECT_FALSE(form.Timer2->isActive());
  EXPECT_TRUE(form.Timer3->isActive());
}

// A cleared list stays cleared: the exit leaves an empty file, and the next start is no first run either.
TEST_F(MainFormLifecycle, ExitWithAnEmptyListLeavesAnEmptyFileThatReadsBackEmpty) {
  WriteRegistry(HKEY_LOCAL_MACHINE, kMarkerKey, "sn", "o");
  WriteWholeFile(dir_ / "zodeveda.orl", "/old.jpg\r\n");
  std::filesystem::create_directory(dir_ / "img");
  WriteWholeFile(dir_ / "img/a.jpg", "");
  TForm1& form = Form();
  ASSERT_EQ(form.ListBox1->count(), 1);
  form.Button7->click();
  QSignalSpy closed(&form, &TForm1::Closed);
  form.N3->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(ReadWholeFile(dir_ / "zodeveda.orl"), "");
  Rebuild();
  EXPECT_EQ(form_->ListBox1->count(), 0);
  EXPECT_TRUE(messages_.Requests().empty());
}

TEST_F(MainFormLifecycle, AnAutoSaveThatCannotBeWrittenIsSilentAndTheProgramStillEnds) {
  // A directory in the list file's place cannot be replaced, not even by root.
  std::filesystem::create_directory(dir_ / "zodeveda.orl");
  TForm1& form = Form();
  form.ListBox1->addItem("/new.jpg");
  QSignalSpy closed(&form, &TForm1::Closed);
  form.BitBtn3->click();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(messages_.Requests().empty());
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "zodeveda.orl"));
}

TEST_F(MainFormLifecycle, AcceptedNoticeEndsTheProgramOnTheNextExitPoll) {
  TForm1& form = Form();
  form.ListBox1->addItem("/p/a.jpg");
  QSignalSpy closed(&form, &TForm1::Closed);
  form.Timer3Timer();
  EXPECT_EQ(closed.count(), 0);
  form.NoticeAccepted = true;
  ASSERT_TRUE(ProcessEventsUntil([&] { return closed.count() == 1; }, 2500));
  EXPECT_EQ(ReadWholeFile(dir_ / "zodeveda.orl"), "/p/a.jpg\r\n");
}

TEST_F(MainFormLifecycle, LockingTouchesOnlyTheTaggedControlsOfTheTwoGroups) {
  TForm1& form = Form();
  form.SetLockedControlsEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{form.Button2, form.Button3, form.Button4, form.Button5,
                                                    form.Button7, form.Button10, form.Button11, form.Button12,
                                                    form.RadioButton4, form.RadioButton5, form.ComboBox2}) {
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  }
  for (QWidget* w : std::initializer_list<QWidget*>{form.ListBox1, form.Button6, form.CheckBox4, form.BitBtn3,
                                                    form.RadioButton1, form.Button8, form.ScrollBox1}) {
    EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
  }
  form.SetLockedControlsEnabled(true);
  EXPECT_TRUE(form.Button2->isEnabled());
  EXPECT_TRUE(form.ComboBox2->isEnabled());
}

TEST_F(MainFormLifecycle, ScreenSaverRequestsAreRefusedOnlyWhileTheBoxIsChecked) {
  TForm1& form = Form();
  EXPECT_FALSE(form.WMSysCommand(TForm1::kScClose));
  EXPECT_FALSE(form.WMSysCommand(TForm1::kScScreenSave + 1));
  EXPECT_TRUE(form.WMSysCommand(TForm1::kScScreenSave));
  EXPECT_TRUE(form.WMSysCommand(TForm1::kScScreenSave));
  ASSERT_TRUE(ProcessEventsUntil([&] { return messages_.Requests().size() == 2; }));
  for (const MessageRequest& shown : messages_.Requests()) {
    EXPECT_EQ(shown.text, "系统将启动屏幕保护程序,但被阻止");
    EXPECT_EQ(shown.caption, "信息提示");
    EXPECT_TRUE(shown.ownedByMainWindow);
  }
  form.CheckBox4->setChecked(false);
  EXPECT_FALSE(form.WMSysCommand(TForm1::kScScreenSave));
  QApplication::processEvents();
  EXPECT_EQ(messages_.Requests().size(), 2u);
}

TEST(RunHandler, AnErrorGoesToTheStandardDisplayAndTheProgramGoesOn) {
  RecordingMessageSink sink;
  ScopedMessageSink scoped(sink);
  bool after = false;
  RunHandler([] { throw EConvertError("'x' is not a valid integer value"); });
  RunHandler([] { throw EAbort(); });
  RunHandler([&] { after = true; });
  EXPECT_TRUE(after);
  ASSERT_EQ(sink.Requests().size(), 1u);
  EXPECT_EQ(sink.Requests()[0].kind, MessageKind::ErrorDisplay);
  EXPECT_EQ(sink.Requests()[0].text, "'x' is not a valid integer value");
}

}  // namespace
}  // namespace lumora::test
