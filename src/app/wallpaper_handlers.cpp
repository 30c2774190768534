// SPDX-License-Identifier: GPL-3.0-or-later
// Setting the selected picture as the wallpaper, and the style the desktop shows it in.
#include <QSignalBlocker>

#include "app/main_form.h"
#include "app/wallpaper_file.h"
#include "platform/desktop_wallpaper.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"
#include "toolkit/readable_name.h"

namespace lumora {

void TForm1::Button12Click() {
  const int index = ListBox1->ItemIndex();
  if (index < 0) {
    MessageBox("请选择一个墙纸!", "消息提示");
    return;
  }
  const std::string path = ListBox1->Entry(index);
  if (!FileExists(path)) {
    MessageBox(ReadableFileName(path) + "不存在!", "错误提示");
    return;
  }
  if (PrepareBmpFile(path)) ApplyBmpFile();
}

bool TForm1::PrepareBmpFile(const std::string& path) {
  preparedPicture_.reset();
  switch (KindOfWallpaper(path)) {
    case WallpaperKind::Jpeg:
      return JpgToBmp(path, BmpFile);
    case WallpaperKind::Bitmap:
      // The wallpaper file itself, chosen from the list, is already what the desktop is to show.
      if (!SameFile(path, BmpFile)) CopyWallpaperFile(path, BmpFile);
      return true;
    case WallpaperKind::Other:
      break;
  }
  SayNotAPicture(path);
  return false;
}

void TForm1::SayNotAPicture(const std::string& path) {
  MessageBox(ReadableFileName(path) + "不是JPG或BMP图片!", "错误提示");
}

bool TForm1::JpgToBmp(const std::string& source, const std::string& target) {
  std::unique_ptr<TBitmap> picture = DecodeWallpaperJpeg(source);
  // Written beside the old file and renamed over it: a failure half-way never leaves half a wallpaper.
  WriteFileAtomically(target, [&picture](std::ostream& out) { picture->SaveToStream(out); });
  preparedPicture_ = std::move(picture);
  return true;
}

void TForm1::ApplyBmpFile() {
  // The pixels just written go along, so a desktop that paints them itself need not read them back.
  desktop_->SetWallpaper(BmpFile, preparedPicture_.get());
  preparedPicture_.reset();
  // A desktop's refusal goes unreported, as it always has; a session with no way at all to set a wallpaper
  // is said once, or the button would seem to do nothing. Said last, as the window stays usable meanwhile.
  if (!desktop_->CanSetWallpaper() && !toldNoDesktop_) {
    toldNoDesktop_ = true;
    MessageBox("Lumora不能在这个桌面(" + desktop_->Name() + ")上设置墙纸!", "错误提示");
  }
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
    MessageBox("桌面(" + desktop_->Name() + ")没有应答,墙纸显示方式没有改变!", "错误提示");
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
