// SPDX-License-Identifier: GPL-3.0-or-later
// Changing the wallpaper by itself: the timed rotation (OK, start, stop, the timer's step), the choice
// between timed and hot-key mode, and the rotation step that both kinds share.
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <limits>

#include "app/appearance.h"
#include "app/main_form.h"
#include "app/rotation.h"
#include "app/wallpaper_file.h"
#include "toolkit/conversion.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"

namespace lumora {

namespace {

// The timer counts milliseconds in a signed 32-bit number: longer intervals would wrap to short ones.
constexpr int kLongestIntervalSeconds = std::numeric_limits<int>::max() / 1000;

}  // namespace

void TForm1::Button8Click() {
  const int seconds = StrToInt(Edit2->text().toStdString());
  if (seconds < 1) return;
  if (ListBox1->count() == 0) {
    ShowMessage("墙纸列表为空，不能自动更换墙纸!");
    return;
  }
  if (seconds > kLongestIntervalSeconds) {
    ShowMessage("时间间隔太大!");
    return;
  }
  Timer1->setInterval(seconds * 1000);
  ArmRotation(TimerIndex);
  ShowMessage("自动更换墙纸设置成功!");
  Button9->setEnabled(true);
}

void TForm1::ArmRotation(std::int32_t& position) {
  const auto last = static_cast<std::int32_t>(ListBox1->count() - 1);
  switch (RotationOrderOf(ComboBox2->currentIndex())) {
    case RotationOrder::Random:
      SeedRotationRandom(static_cast<std::uint32_t>(std::time(nullptr)));
      break;
    case RotationOrder::TopDown:
      position = 0;
      break;
    case RotationOrder::BottomUp:
      position = last;
      break;
  }
  LastIndex = last;
}

void TForm1::Button9Click() {
  // The first change comes one whole interval from now.
  rotationRunning_ = true;
  Timer1->start();
  SetLockedControlsEnabled(false);
  Button8->setEnabled(false);
  Button9->setEnabled(false);
  Button15->setEnabled(true);
  ShowMessage("自动更换墙纸已开始!");
}

void TForm1::Button15Click() {
  rotationRunning_ = false;
  Timer1->stop();
  SetLockedControlsEnabled(true);
  Button8->setEnabled(true);
  ShowMessage("自动更换墙纸已停止!");
  // A new start needs a new OK, which sets the position afresh.
  Button9->setEnabled(false);
  Button15->setEnabled(false);
}

namespace {

// Passes a step's messages on to the program's own display, holding the rotation's timer while each is
// open: the next step comes one interval after the message is answered, so a rotation left alone overnight
// with a missing file never stacks boxes. Steps without a message keep the timer's own rhythm.
class TimerHoldingSink final : public MessageSink {
 public:
  TimerHoldingSink(MessageSink* shown, QTimer* timer, const bool& running)
      : shown_(shown), timer_(timer), running_(running) {}
  MessageResult Show(const MessageRequest& request) override {
    timer_->stop();
    // While the step waits for its answer the window stays usable, and what other handlers say meanwhile
    // goes straight to the display: their boxes neither hold nor start the rotation.
    SetMessageSink(shown_);
    const MessageResult result = shown_ != nullptr ? shown_->Show(request) : MessageResult::Ok;
    SetMessageSink(this);
    if (running_) timer_->start();
    return result;
  }

 private:
  MessageSink* shown_;
  QTimer* timer_;
  const bool& running_;
};

}  // namespace

void TForm1::Timer1Timer() {
  TimerHoldingSink holding(GetMessageSink(), Timer1, rotationRunning_);
  const ScopedMessageSink scoped(holding);
  RunHandler([this] { RotationStep(TimerIndex); });
}

void TForm1::RotationStep(std::int32_t& position) {
  const int count = ListBox1->count();
  if (count == 0) return;
  // The list can change after the rotation was armed: every position stays inside the list as it is now.
  const std::int32_t last = std::min<std::int32_t>(LastIndex, count - 1);
  const RotationOrder order = RotationOrderOf(ComboBox2->currentIndex());
  position = order == RotationOrder::Random ? RandomPosition(last) : PositionInside(position, order, last);
  const std::string path = ListBox1->Entry(position);
  // The order is read again when the position moves on, as the user may have changed it meanwhile.
  const auto advance = [&] {
    position = AdvancePosition(position, RotationOrderOf(ComboBox2->currentIndex()), last);
  };
  // An entry that cannot become a wallpaper is passed over before it is reported, so that one bad entry
  // never holds up the rotation; a JPEG that fails to decode is not, and is tried again next time.
  if (!FileExists(path)) {
    advance();
    SayMissing(path);
    return;
  }
  switch (KindOfWallpaper(path)) {
    case WallpaperKind::Other:
      advance();
      SayNotAPicture(path);
      return;
    case WallpaperKind::Bitmap:
      try {
        PrepareBmpFile(path);
      } catch (...) {
        advance();
        throw;
      }
      break;
    case WallpaperKind::Jpeg:
      PrepareBmpFile(path);
      break;
  }
  // Only the highlight follows the wallpaper: the preview stays with the user's own choice.
  ListBox1->SetItemIndex(position);
  // The position moves on before the wallpaper goes to the desktop, which may have something to say: the
  // step is done with its position before any box of it opens.
  advance();
  ApplyBmpFile();
}

void TForm1::RadioButton4Click() {
  if (!RadioButton4->isChecked()) return;
  ShowRotationMode(true);
}

void TForm1::RadioButton5Click() {
  if (!RadioButton5->isChecked()) return;
  ShowRotationMode(false);
}

// The group of the mode in use is sky blue and usable, the other silver and disabled.
void TForm1::ShowRotationMode(bool timed) {
  PaintBackground(GroupBox1, timed ? kSkyBlue : kSilver);
  GroupBox1->setEnabled(timed);
  Button8->setEnabled(timed);
  Button16->setEnabled(!timed);
  PaintBackground(GroupBox2, timed ? kSilver : kSkyBlue);
  GroupBox2->setEnabled(!timed);
}

}  // namespace lumora
