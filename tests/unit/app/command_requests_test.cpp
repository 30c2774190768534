// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's requests as the running window does them: the answer carries what the window would
// have said, and no box opens.
#include <QTest>

#include "app/command_line.h"
#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

class CommandRequests : public FormTest {
 protected:
  std::string Bitmap(const std::string& name, int width) {
    TBitmap bitmap;
    bitmap.SetSize(width, 1);
    bitmap.SaveToFile(dir_ / name);
    return ReadWholeFile(dir_ / name);
  }
  CommandReply Run(CommandAction action, const std::string& file = {},
                   std::optional<platform::DisplayStyle> style = std::nullopt) {
    CommandReply reply{false, "no answer"};
    Form().RunCommand(CommandLine{action, file, style, {}}, [&reply](const CommandReply& r) { reply = r; });
    return reply;
  }
  std::string Wallpaper() { return ReadWholeFile(Form().BmpFile); }
};

TEST_F(CommandRequests, NextStepsTheListAsItIsNowAndSaysWhatTheWindowWould) {
  Form().ListBox1->clear();
  EXPECT_EQ(Run(CommandAction::Next).message, "墙纸列表为空,不能更换墙纸!");
  const std::string a = Bitmap("a.bmp", 1);
  form_->ListBox1->AddEntries({dir_ / "a.bmp", dir_ / "gone.bmp"});
  EXPECT_TRUE(Run(CommandAction::Next).done);
  EXPECT_EQ(Wallpaper(), a);
  const CommandReply gone = Run(CommandAction::Next);
  EXPECT_FALSE(gone.done);
  EXPECT_NE(gone.message.find("gone.bmp不存在!"), std::string::npos) << gone.message;
  // A picture added since is reached too.
  const std::string b = Bitmap("b.bmp", 2);
  form_->ListBox1->AddEntries({dir_ / "b.bmp"});
  bool reached = false;
  for (int i = 0; i < 3 && !reached; ++i) reached = Run(CommandAction::Next).done && Wallpaper() == b;
  EXPECT_TRUE(reached);
  EXPECT_TRUE(messages_.Requests().empty()) << "the window showed a box";

  // While the hot key's own step waits on its box, a --next is refused rather than run alongside it.
  struct AskingSink final : MessageSink {
    std::function<void()> ask;
    MessageResult Show(const MessageRequest&) override {
      if (ask) std::exchange(ask, nullptr)();
      return MessageResult::Ok;
    }
  } asking;
  CommandReply meanwhile;
  asking.ask = [&] { meanwhile = Run(CommandAction::Next); };
  const ScopedMessageSink scoped(asking);
  form_->ListBox1->clear();
  form_->ListBox1->AddEntries({dir_ / "gone.bmp"});
  hotKeys_->press(TForm1::kHotKeyId);
  EXPECT_FALSE(meanwhile.done);
  EXPECT_NE(meanwhile.message.find("busy"), std::string::npos) << meanwhile.message;
}

TEST_F(CommandRequests, SetTakesTheStyleFirstAndAStyleTheDesktopDidNotTakeSetsNothing) {
  const std::string a = Bitmap("a.bmp", 3);
  Form().show();
  EXPECT_TRUE(Run(CommandAction::Set, dir_ / "a.bmp", platform::DisplayStyle::Tiled).done);
  EXPECT_EQ(desktop_->style, platform::kTiledPair);
  EXPECT_TRUE(form_->RadioButton3->isChecked());
  EXPECT_EQ(Wallpaper(), a);
  const std::size_t handed = desktop_->wallpapers.size();
  desktop_->styleFailure = "silent";
  const CommandReply silent = Run(CommandAction::Set, dir_ / "a.bmp", platform::DisplayStyle::Centred);
  EXPECT_EQ(silent.message, "桌面(recording)没有应答,墙纸显示方式没有改变!");
  EXPECT_TRUE(form_->RadioButton3->isChecked());
  EXPECT_EQ(desktop_->wallpapers.size(), handed);
  EXPECT_TRUE(messages_.Requests().empty()) << "the window showed a box";
}

}  // namespace
}  // namespace lumora::test
