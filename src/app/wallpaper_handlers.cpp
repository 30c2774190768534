// SPDX-License-Identifier: GPL-3.0-or-later
// Setting the selected picture as the wallpaper, and the style the desktop shows it in.
#include <QSignalBlocker>
#include <optional>

#include "app/main_form.h"
#include "platform/desktop_wallpaper.h"
#include "toolkit/messages.h"

namespace lumora {

void TForm1::Button12Click() {
  const int index = ListBox1->ItemIndex();
  if (index < 0) {
    MessageBox("请选择一个墙纸!", "消息提示");
    return;
  }
  const std::string entry = ListBox1->Entry(index);
  if (const std::optional<PixelRows> shown = shownPicture_.PixelsOf(entry)) {
    wallpaper_.SetFromPixels(*shown, BmpFile);
  } else {
    wallpaper_.SetFrom(entry, BmpFile);
  }
}

bool TForm1::PrepareBmpFile(const std::string& path) {
  return wallpaper_.Prepare(path, BmpFile);
}

bool TForm1::JpgToBmp(const std::string& source, const std::string& target) {
  return wallpaper_.JpgToBmp(source, target);
}

void TForm1::ApplyBmpFile() {
  wallpaper_.Apply(BmpFile);
}

void TForm1::RadioButton1Click() {
  ChangeDisplayStyle(RadioButton1, platform::kCentredPair);
}

void TForm1::RadioButton2Click() {
  ChangeDisplayStyle(RadioButton2, platform::kStretchedPair);
}

void TForm1::RadioButton3Click() {
  ChangeDisplayStyle(RadioButton3, platform::kTiledPair);
}

void TForm1::ChangeDisplayStyle(QRadioButton* button, const platform::DisplayStylePair& pair) {
  if (!button->isChecked()) return;
  // Clicked while checked already: the desktop may show a style that none of the buttons stands for
  // (GNOME's zoom, which leaves 居中 checked at start) or one another program set. Only then is there
  // something to change.
  if (button == styleButton_ && desktop_->ReadStyle() == pair) return;
  try {
    desktop_->WriteStyle(pair);
  } catch (const platform::EDesktopNoAnswer&) {
    CheckStyleButtonAgain();
    SayDesktopSilent(*desktop_);
    return;
  } catch (...) {
    CheckStyleButtonAgain();
    throw;
  }
  styleButton_ = button;
  desktop_->Reapply();
}

void TForm1::CheckStyleButtonAgain() {
  // The style did not change: the button that stands for it is checked again, without its handler
  // writing that style once more.
  const QSignalBlocker quiet(styleButton_);
  styleButton_->setChecked(true);
}

void TForm1::ReadDisplayStyle() {
  // Checking a button runs its handler, which writes the same pair back and has the desktop redraw once.
  const platform::DisplayStylePair pair = desktop_->ReadStyle();
  if (pair == platform::kCentredPair) {
    RadioButton1->setChecked(true);
  } else if (pair == platform::kTiledPair) {
    RadioButton3->setChecked(true);
  } else if (pair == platform::kStretchedPair) {
    RadioButton2->setChecked(true);
  }
}

}  // namespace lumora
