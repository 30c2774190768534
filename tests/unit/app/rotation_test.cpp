// SPDX-License-Identifier: GPL-3.0-or-later
// Timed and hot-key rotation through the window's controls: which picture each step hands to the
// desktop, the controls' states, and what the user is told.
#include <QTest>

#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

class Rotation : public FormTest {
 protected:
  // A list of bitmaps whose contents are their letters: the desktop record then reads "A", "B", "C".
  void MakeList(const std::vector<std::string>& letters) {
    std::vector<std::string> entries;
    for (const auto& letter : letters) {
      if (letter.find('.') == std::string::npos) {
        WriteWholeFile(dir_ / (letter + ".bmp"), letter);
        entries.push_back(dir_ / (letter + ".bmp"));
      } else {
        entries.push_back(dir_ / letter);  // a name with its extension: the file is the test's business
      }
    }
    Form().ListBox1->AddEntries(entries);
  }
  void Arm(const char* seconds, int order) {
    form_->ComboBox2->setCurrentIndex(order);
    form_->Edit2->setText(QString::fromLatin1(seconds));
    form_->Button8->click();
  }
  // Runs steps of the timer and returns the pictures they set.
  std::vector<std::string> Steps(int count) {
    desktop_->wallpapers.clear();
    for (int i = 0; i < count; ++i) form_->Timer1Timer();
    return desktop_->wallpapers;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const MessageRequest& shown : messages_.Requests()) texts.push_back(shown.text);
    messages_.Clear();
    return texts;
  }
  using Combination = HotKeyRecord::Combination;
};

TEST_F(Rotation, TimedStepsFollowTheOrderWrapAroundAndMoveOnlyTheHighlight) {
  MakeList({"A", "B", "C"});
  form_->ListBox1->SetItemIndex(1);
  Arm("1", 0);
  form_->Button9->click();
  EXPECT_EQ(form_->Timer1->interval(), 1000);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"自动更换墙纸设置成功!", "自动更换墙纸已开始!"}));
  EXPECT_TRUE(desktop_->wallpapers.empty()) << "nothing changes at the start";
  EXPECT_EQ(Steps(4), (std::vector<std::string>{"A", "B", "C", "A"}));
  EXPECT_EQ(form_->ListBox1->ItemIndex(), 0);
  EXPECT_TRUE(form_->Timer1->isActive());

  form_->Button15->click();
  Arm("1", 1);
  form_->Button9->click();
  EXPECT_EQ(Steps(4), (std::vector<std::string>{"C", "B", "A", "C"}));

  // Armed top-down, then bottom-up chosen before the first step: item 0, then the last.
  form_->Button15->click();
  Arm("1", 0);
  form_->ComboBox2->setCurrentIndex(1);
  form_->Button9->click();
  EXPECT_EQ(Steps(2), (std::vector<std::string>{"A", "C"}));

  // Random picks stay within the list and reach every item.
  form_->Button15->click();
  Arm("1", 2);
  form_->Button9->click();
  const auto picks = Steps(40);
  for (const char* letter : {"A", "B", "C"}) EXPECT_NE(std::count(picks.begin(), picks.end(), letter), 0);
}

TEST_F(Rotation, ButtonsFollowTheStatesAndRefusalsChangeNothing) {
  MakeList({});
  Arm("60", 0);
  EXPECT_EQ(Texts(), std::vector<std::string>{"墙纸列表为空，不能自动更换墙纸!"});
  MakeList({"A"});
  Arm("0", 0);
  Arm("-5", 0);
  EXPECT_TRUE(Texts().empty());
  EXPECT_FALSE(form_->Button9->isEnabled());
  Arm("2147484", 0);  // 2147484000 ms do not fit the timer
  EXPECT_EQ(Texts(), std::vector<std::string>{"时间间隔太大!"});
  Arm("abc", 0);
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].kind, MessageKind::ErrorDisplay);
  EXPECT_FALSE(form_->Button9->isEnabled());
  messages_.Clear();

  Arm("2147483", 0);
  EXPECT_EQ(form_->Timer1->interval(), 2147483000);
  form_->Button9->click();
  EXPECT_TRUE(form_->Timer1->isActive());
  EXPECT_FALSE(form_->Button8->isEnabled());
  EXPECT_FALSE(form_->Button9->isEnabled());
  EXPECT_TRUE(form_->Button15->isEnabled());
  for (QWidget* locked : std::initializer_list<QWidget*>{form_->Button2, form_->Button12, form_->RadioButton5,
                                                         form_->ComboBox2}) {
    EXPECT_FALSE(locked->isEnabled()) << locked->objectName().toStdString();
  }
  EXPECT_TRUE(form_->Button6->isEnabled());  // saving stays possible
  form_->Button15->click();
  EXPECT_FALSE(form_->Timer1->isActive());
  EXPECT_TRUE(form_->Button8->isEnabled());
  EXPECT_FALSE(form_->Button9->isEnabled()) << "a new start needs a new OK";
  EXPECT_FALSE(form_->Button15->isEnabled());
  EXPECT_TRUE(form_->Button2->isEnabled());

  // The mode switch: colours and groups, never the start and stop buttons.
  Arm("1", 0);
  form_->RadioButton5->click();
  EXPECT_FALSE(form_->GroupBox1->isEnabled());
  EXPECT_TRUE(form_->GroupBox2->isEnabled());
  EXPECT_TRUE(form_->Button16->isEnabled());
  EXPECT_EQ(form_->GroupBox2->palette().color(QPalette::Window), QColor(166, 202, 240));
  EXPECT_EQ(form_->GroupBox1->palette().color(QPalette::Window), QColor(192, 192, 192));
  form_->RadioButton4->click();
  EXPECT_TRUE(form_->Button9->isEnabled());
  EXPECT_FALSE(form_->Button16->isEnabled());
  EXPECT_FALSE(form_->GroupBox2->isEnabled());
}

// A missing file and a file of another kind are passed over before they are reported; a JPEG that does
// not decode is reported at every step without moving on. While a step's message is open the timer waits.
TEST_F(Rotation, BadEntriesAreReportedOneBoxAtATime) {
  WriteWholeFile(dir_ / "broken.jpg", "not a JPEG");
  WriteWholeFile(dir_ / "notes.txt", "text");
  MakeList({"A", "gone.bmp", "notes.txt", "B", "broken.jpg"});
  Arm("1", 0);
  form_->Button9->click();
  messages_.Clear();
  EXPECT_EQ(Steps(4), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{dir_ / "gone.bmp" + "不存在!",
                                               dir_ / "notes.txt" + "不是JPG或BMP图片!"}));
  EXPECT_EQ(form_->TimerIndex, 4);
  EXPECT_TRUE(Steps(2).empty());
  EXPECT_EQ(form_->TimerIndex, 4) << "the broken picture is tried again";
  const auto shown = messages_.Requests();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, MessageKind::ErrorDisplay);

  class ObservingSink : public MessageSink {
   public:
    explicit ObservingSink(QTimer* timer) : timer_(timer) {}
    MessageResult Show(const MessageRequest&) override {
      activeWhileShown = activeWhileShown || timer_->isActive();
      return MessageResult::Ok;
    }
    bool activeWhileShown = false;

   private:
    QTimer* timer_;
  } observing(form_->Timer1);
  {
    const ScopedMessageSink scoped(observing);
    Steps(1);
  }
  EXPECT_FALSE(observing.activeWhileShown);
  EXPECT_TRUE(form_->Timer1->isActive()) << "the rotation goes on once the message is answered";
}

// The list shrinks after the rotation was armed: steps stay within what is left; an empty list does nothing.
TEST_F(Rotation, StepsNeverReachPastAShrunkenList) {
  MakeList({"A", "B", "C"});
  Arm("1", 1);  // bottom-up: the first step would take item 2
  form_->ListBox1->SetItemIndex(2);
  form_->Button4->click();
  form_->ListBox1->SetItemIndex(1);
  form_->Button4->click();
  form_->Button9->click();
  EXPECT_EQ(Steps(3), (std::vector<std::string>{"A", "A", "A"}));
  form_->ListBox1->clear();
  EXPECT_TRUE(Steps(2).empty());
  form_->RadioButton5->setEnabled(true);
  form_->WMHotKey(TForm1::kHotKeyId);
  EXPECT_TRUE(desktop_->wallpapers.empty());
}

TEST_F(Rotation, HotKeyRegistersOneModifierRetriesOnceAndStepsPerPress) {
  MakeList({});
  form_->RadioButton5->click();
  form_->Button16->click();
  EXPECT_EQ(Texts(), std::vector<std::string>{"墙纸列表为空，无法启用热键!"});
  MakeList({"A", "B", "C"});

  // Ctrl and Alt checked with W: Ctrl+W alone. Refused twice: the failure box, nothing changes.
  form_->CheckBox2->setChecked(true);
  form_->ComboBox1->setCurrentText(QStringLiteral("W"));
  hotKeys_->refusals = 2;
  form_->Button16->click();
  EXPECT_EQ(hotKeys_->attempts, (std::vector<Combination>{{2, 'W'}, {2, 'W'}}));
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].caption, "更换墙纸热键启用失败");
  EXPECT_EQ(Texts(), std::vector<std::string>{"抱歉!系统中已启用过此热键!"});
  EXPECT_TRUE(form_->Button16->isEnabled());
  EXPECT_FALSE(form_->Button17->isEnabled());

  // No box checked and Q: the bare key, accepted at the retry.
  for (QCheckBox* box : {form_->CheckBox1, form_->CheckBox2, form_->CheckBox3}) box->setChecked(false);
  form_->ComboBox1->setCurrentText(QStringLiteral("Q"));
  hotKeys_->refusals = 1;
  form_->Button16->click();
  EXPECT_EQ(hotKeys_->registered,
            (std::vector<std::pair<int, Combination>>{{TForm1::kHotKeyId, Combination{0, 'Q'}}}));
  EXPECT_EQ(Texts(), std::vector<std::string>{"更换墙纸热键启用成功!"});
  EXPECT_FALSE(form_->Button16->isEnabled());
  EXPECT_TRUE(form_->Button17->isEnabled());
  EXPECT_FALSE(form_->Button2->isEnabled());

  desktop_->wallpapers.clear();
  for (int press = 0; press < 4; ++press) hotKeys_->press(TForm1::kHotKeyId);
  hotKeys_->press(TForm1::kHotKeyId + 1);
  EXPECT_EQ(desktop_->wallpapers, (std::vector<std::string>{"A", "B", "C", "A"}));

  form_->Button17->click();
  EXPECT_TRUE(hotKeys_->registered.empty());
  EXPECT_EQ(Texts(), std::vector<std::string>{"热键更换墙纸已停用!"});
  EXPECT_TRUE(form_->Button16->isEnabled());
  EXPECT_TRUE(form_->Button2->isEnabled());

  // Enabling again starts afresh at the first item; the window's close releases the key.
  form_->CheckBox3->setChecked(true);
  form_->Button16->click();
  EXPECT_EQ(hotKeys_->registered.back().second, (Combination{4, 'Q'}));
  desktop_->wallpapers.clear();
  hotKeys_->press(TForm1::kHotKeyId);
  EXPECT_EQ(desktop_->wallpapers, std::vector<std::string>{"A"});
  form_->BitBtn3->click();
  EXPECT_TRUE(hotKeys_->registered.empty());
}

TEST_F(Rotation, ASessionWithoutGlobalKeysSaysWhatToBindAndHoldsNothing) {
  MakeList({"A", "B"});
  form_->RadioButton5->click();
  form_->ComboBox1->setCurrentText(QStringLiteral("Q"));
  hotKeys_->notOffered = true;
  hotKeys_->manual = {"bindsym Ctrl+q exec lumora --next", "~/.config/sway/config"};
  form_->Button16->click();
  EXPECT_EQ(hotKeys_->attempts.size(), 1u) << "no retry: nothing of ours is in the way";
  ASSERT_EQ(messages_.Requests().size(), 1u);
  EXPECT_EQ(messages_.Requests()[0].caption, "更换墙纸热键");
  const std::string text = Texts().front();
  EXPECT_NE(text.find("~/.config/sway/config"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\nbindsym Ctrl+q exec lumora --next"), std::string::npos) << text;
  EXPECT_EQ(text.find("已启用过"), std::string::npos) << "never said to be taken";
  EXPECT_TRUE(form_->Button16->isEnabled());
  EXPECT_FALSE(form_->Button17->isEnabled());
  EXPECT_TRUE(form_->Button2->isEnabled());
}

}  // namespace
}  // namespace lumora::test
