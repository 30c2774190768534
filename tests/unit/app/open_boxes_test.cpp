// SPDX-License-Identifier: GPL-3.0-or-later
// The window while its boxes and dialogs are open, shown as the program shows them: a box without owner
// leaves the window usable, a box of the window blocks it, a handler waiting on its box is not run a
// second time, and the exit answers whatever is open before the window closes.
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <thread>

#include "app/qt_messages.h"
#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

class OpenBoxes : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    QtMessageSink::Instance().SetMainWindow(&Form());
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    // A box that never gets its answer would hold the test for ever: after ten seconds, whatever is still
    // open is answered, and the test fails.
    auto* watchdog = new QTimer(form_.get());
    QObject::connect(watchdog, &QTimer::timeout, watchdog, [] {
      ADD_FAILURE() << "dialogs left waiting";
      for (QDialog* dialog : Open()) dialog->reject();
    });
    watchdog->start(10000);
  }
  void TearDown() override {
    QtMessageSink::Instance().SetMainWindow(nullptr);
    FormTest::TearDown();
  }

  // The dialogs and message boxes on the screen.
  static std::vector<QDialog*> Open() {
    std::vector<QDialog*> open;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible())
        open.push_back(dialog);
    }
    return open;
  }
  static QMessageBox* Box(const QString& text) {
    for (QDialog* dialog : Open()) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (box != nullptr && box->text().contains(text)) return box;
    }
    return nullptr;
  }
  static void Answer(QMessageBox* box) {
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Ok)->click();
  }
  // A click that comes through the window system, where a modal box would hold it back.
  void Click(QWidget* control) {
    QTest::mouseClick(form_->windowHandle(), Qt::LeftButton, {},
                      control->mapTo(form_.get(), control->rect().center()));
  }
  // Runs the step from the event loop as soon as count dialogs are open: inside the loop of the handler
  // that opened the last of them, which waits there for its answer.
  void WhenOpen(std::size_t count, std::function<void()> step) {
    auto* poll = new QTimer(form_.get());
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, count, step] {
      if (Open().size() < count) return;
      poll->deleteLater();
      poll->stop();
      step();
    });
    poll->start();
  }
  // Lets the window take whatever events are pending, without waiting for anything in particular.
  static void Settle() { QTest::qWait(50); }

  ScopedMessageSink shown_{QtMessageSink::Instance()};
};

TEST_F(OpenBoxes, ABoxWithoutOwnerLeavesTheWindowUsableAndItsButtonDoesNothingUntilAnswered) {
  form_->ListBox1->AddEntries({dir_ / "gone.jpg"});
  form_->ListBox1->SetItemIndex(0);
  bool checked = false;
  WhenOpen(1, [&] {
    QMessageBox* box = Box("gone.jpg不存在!");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "错误提示");
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Click(form_->Button12);  // "设为墙纸" again: its handler still waits for this box
    Settle();
    EXPECT_EQ(Open().size(), 1u);
    Click(form_->Button7);  // "清空" works meanwhile
    EXPECT_EQ(form_->ListBox1->count(), 0);
    checked = true;
    Answer(box);
  });
  Click(form_->Button12);
  ASSERT_TRUE(checked);
  EXPECT_TRUE(Open().empty());
  // Answered, the button works again: now the list is empty.
  WhenOpen(1, [] {
    QMessageBox* box = Box("请选择一个墙纸!");
    ASSERT_NE(box, nullptr);
    Answer(box);
  });
  Click(form_->Button12);
  EXPECT_TRUE(Open().empty());
}

// The screen-saver guard's box belongs to the window and blocks it; while it is open every request is
// still refused, silently.
TEST_F(OpenBoxes, TheWindowsOwnBoxBlocksItAndTheScreenSaverGuardShowsOneAtATime) {
  form_->ListBox1->AddEntries({"/p/a.jpg"});
  bool checked = false;
  WhenOpen(1, [&] {
    QMessageBox* box = Box("系统将启动屏幕保护程序,但被阻止");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "信息提示");
    EXPECT_EQ(box->parentWidget(), form_.get());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    Click(form_->Button7);
    EXPECT_EQ(form_->ListBox1->count(), 1) << "the window is blocked";
    for (int request = 0; request < 3; ++request) EXPECT_TRUE(form_->WMSysCommand(TForm1::kScScreenSave));
    Settle();
    EXPECT_EQ(Open().size(), 1u);
    checked = true;
    Answer(box);
  });
  ASSERT_TRUE(form_->WMSysCommand(TForm1::kScScreenSave));
  ASSERT_TRUE(ProcessEventsUntil([&] { return checked && Open().empty(); }));
  // Answered, the next request says so again.
  bool shownAgain = false;
  WhenOpen(1, [&] {
    shownAgain = true;
    Answer(Box("被阻止"));
  });
  ASSERT_TRUE(form_->WMSysCommand(TForm1::kScScreenSave));
  EXPECT_TRUE(ProcessEventsUntil([&] { return shownAgain && Open().empty(); }));
}

TEST_F(OpenBoxes, HotKeyPressesWhileTheStepsMessageIsOpenDoNothing) {
  form_->ListBox1->AddEntries({dir_ / "gone1.bmp", dir_ / "gone2.bmp", dir_ / "gone3.bmp"});
  form_->LastIndex = 2;
  bool checked = false;
  WhenOpen(1, [&] {
    ASSERT_NE(Box("gone1.bmp不存在!"), nullptr);
    for (int press = 0; press < 3; ++press) hotKeys_->press(TForm1::kHotKeyId);
    Settle();
    EXPECT_EQ(Open().size(), 1u);
    EXPECT_EQ(form_->HotKeyIndex, 1) << "only the first press made a step";
    checked = true;
    Answer(Box("gone1.bmp"));
  });
  hotKeys_->press(TForm1::kHotKeyId);
  ASSERT_TRUE(checked);
  WhenOpen(1, [] { Answer(Box("gone2.bmp不存在!")); });
  hotKeys_->press(TForm1::kHotKeyId);
  EXPECT_EQ(form_->HotKeyIndex, 2);
}

// The timed rotation waits for its step's message, whatever other boxes open and close meanwhile.
TEST_F(OpenBoxes, TimedRotationHoldsItsTimerUntilItsOwnMessageIsAnswered) {
  form_->ListBox1->AddEntries({dir_ / "gone.bmp"});
  {
    RecordingMessageSink quiet;
    const ScopedMessageSink scoped(quiet);
    form_->Edit2->setText("1");
    form_->Button8->click();
    form_->Button9->click();
  }
  bool checked = false;
  WhenOpen(1, [&] {
    EXPECT_FALSE(form_->Timer1->isActive());
    bool helpShown = false;
    WhenOpen(2, [&] {
      helpShown = true;
      EXPECT_FALSE(form_->Timer1->isActive());
      Answer(Box("使用说明.txt"));
    });
    Click(form_->Button14);  // no help file here: the window says so in a box of its own
    EXPECT_TRUE(helpShown);
    EXPECT_FALSE(form_->Timer1->isActive()) << "another box's answer starts no step";
    checked = true;
    Answer(Box("gone.bmp不存在!"));
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return checked; }, 5000));
  EXPECT_TRUE(form_->Timer1->isActive());
  form_->Timer1->stop();
}

// "退出" from the tray with a box and a dialog open: both are answered as cancelled, the handlers waiting on
// them return, and only then does the window close, saving the list.
TEST_F(OpenBoxes, ExitAnswersWhatIsOpenAndClosesOnceTheirHandlersHaveReturned) {
  form_->ListBox1->AddEntries({dir_ / "gone.jpg", "/p/b.bmp"});
  form_->ListBox1->SetItemIndex(0);
  QSignalSpy closed(form_.get(), &TForm1::Closed);
  bool closedWhileWaiting = true;
  WhenOpen(1, [&] {
    WhenOpen(2, [&] {
      ASSERT_TRUE(form_->OpenPictureDialog1->isVisible());
      form_->N3->trigger();
      closedWhileWaiting = closed.count() != 0;
    });
    Click(form_->Button2);  // "添加": the file dialog, on top of the box
  });
  Click(form_->Button12);
  EXPECT_FALSE(closedWhileWaiting);
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(Open().empty());
  EXPECT_EQ(form_->ListBox1->count(), 2) << "the cancelled dialog added nothing";
  EXPECT_EQ(ReadWholeFile(dir_ / "zodeveda.orl"), dir_ / "gone.jpg" + "\r\n/p/b.bmp\r\n");
  // The window is gone for good: nothing starts any more.
  form_->Button12->click();
  EXPECT_TRUE(Open().empty());
}

// An error raised on the version check's thread reaches the error display there; a box built off the
// user-interface thread would take the program down.
TEST_F(OpenBoxes, AMessageFromAnotherThreadOpensNoBox) {
  MessageResult answer = MessageResult::Cancel;
  testing::internal::CaptureStderr();
  std::thread([&answer] { answer = MessageBox("off the window's thread", "错误提示"); }).join();
  const std::string written = testing::internal::GetCapturedStderr();
  Settle();
  EXPECT_EQ(answer, MessageResult::Ok);
  EXPECT_TRUE(Open().empty());
  EXPECT_NE(written.find("off the window's thread"), std::string::npos);
}

}  // namespace
}  // namespace lumora::test
