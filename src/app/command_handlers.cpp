// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's requests to the running window: each runs as the control it stands for would, through
// the same guard, and what it would have said in boxes goes back to the command instead.
#include <QRadioButton>
#include <QSignalBlocker>
#include <utility>

#include "app/command_line.h"
#include "app/main_form.h"
#include "toolkit/messages.h"

namespace lumora {

namespace {

// Said when the control's handler is still waiting on a box of its own, or the window is on its way out.
constexpr const char* kBusy = "Lumora is busy: a message of the same action is still open in its window";
constexpr const char* kEnding = "Lumora is ending";

}  // namespace

void TForm1::RunCommand(const CommandLine& command, const std::function<void(const CommandReply&)>& answer) {
  if (command.action == CommandAction::Quit) {
    // The answer waits for the close, which saves the list; a close under way already answers it too.
    const QMetaObject::Connection closed = connect(
        this, &TForm1::Closed, this,
        [answer] {
          answer(CommandReply{true, {}});
        },
        Qt::SingleShotConnection);
    handlers_.Run(BitBtn3, [this] { BitBtn3Click(); });
    if (!ExitAllowed) {
      disconnect(closed);
      answer(CommandReply{false, kBusy});
    }
    return;
  }
  const void* source = nullptr;
  std::function<void()> action;
  bool taken = true;
  switch (command.action) {
    case CommandAction::Next:
      // A press of the hot key and a --next never run at once: they share the guard.
      source = hotKeys_.get();
      action = [this] { StepFromCommandLine(); };
      break;
    case CommandAction::Set:
      source = Button12;
      action = [this, command, &taken] { taken = SetWallpaperFromCommandLine(command); };
      break;
    case CommandAction::Show:
      source = N1;
      action = [this] { N1Click(); };
      break;
    default:
      answer(CommandReply{false, "not a request: " + command.error});
      return;
  }
  RecordingMessageSink said;
  bool ran = false;
  {
    const ScopedMessageSink captured(said);
    ran = handlers_.Run(source, action);
  }
  if (!ran) {
    answer(CommandReply{false, ExitAllowed ? kEnding : kBusy});
    return;
  }
  std::vector<std::string> texts;
  for (const MessageRequest& request : said.Requests()) texts.push_back(request.text);
  if (!taken && texts.empty()) texts.push_back(NotTakenText(*desktop_));
  answer(ReplyFromMessages(texts));
}

void TForm1::StepFromCommandLine() {
  if (ListBox1->count() == 0) {
    MessageBox("墙纸列表为空,不能更换墙纸!", "错误提示");
    return;
  }
  // The hot key's own step. With the hot key off, the command line arms its rotation as "启用" would, and
  // again when the list has changed length since, since the list is not locked then.
  if (!hotKeyOn_ && std::exchange(commandLineArmedCount_, ListBox1->count()) != ListBox1->count()) {
    ArmRotation(HotKeyIndex);
  }
  WMHotKey(kHotKeyId);
}

bool TForm1::SetWallpaperFromCommandLine(const CommandLine& command) {
  if (command.style) {
    QRadioButton* const buttons[] = {RadioButton1, RadioButton2, RadioButton3};
    QRadioButton* button = buttons[static_cast<int>(*command.style)];
    // As a click on the button: it is checked first, then its handler runs.
    {
      const QSignalBlocker quiet(button);
      button->setChecked(true);
    }
    ChangeDisplayStyle(button, platform::PairOfStyle(*command.style));
    // A desktop that did not answer has said so, and the picture is not set in a style it does not show.
    if (styleButton_ != button) return false;
  }
  return wallpaper_.SetFrom(command.file, BmpFile);
}

}  // namespace lumora
