// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/wallpaper_setter.h"

#include "app/wallpaper_file.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"
#include "toolkit/readable_name.h"

namespace lumora {

bool WallpaperSetter::SetFrom(const std::string& path, const std::string& bmpFile) {
  if (!FileExists(path)) {
    SayMissing(path);
    return false;
  }
  return Prepare(path, bmpFile) && Apply(bmpFile);
}

bool WallpaperSetter::Prepare(const std::string& path, const std::string& bmpFile) {
  preparedPicture_.reset();
  switch (KindOfWallpaper(path)) {
    case WallpaperKind::Jpeg:
      return JpgToBmp(path, bmpFile);
    case WallpaperKind::Bitmap:
      // The wallpaper file itself, chosen from the list, is already what the desktop is to show.
      if (!SameFile(path, bmpFile)) CopyWallpaperFile(path, bmpFile);
      return true;
    case WallpaperKind::Other:
      break;
  }
  SayNotAPicture(path);
  return false;
}

bool WallpaperSetter::JpgToBmp(const std::string& source, const std::string& target) {
  std::unique_ptr<TBitmap> picture = DecodeWallpaperJpeg(source);
  // Written beside the old file and renamed over it: a failure half-way never leaves half a wallpaper.
  WriteFileAtomically(target, [&picture](std::ostream& out) { picture->SaveToStream(out); });
  preparedPicture_ = std::move(picture);
  return true;
}

bool WallpaperSetter::Apply(const std::string& bmpFile) {
  // The pixels just written go along, so a desktop that paints them itself need not read them back.
  const bool taken = desktop_.SetWallpaper(bmpFile, preparedPicture_.get());
  preparedPicture_.reset();
  // A desktop's refusal goes unreported, as it always has; a session with no way at all to set a wallpaper
  // is said once, or the button would seem to do nothing. Said last, as the window stays usable meanwhile.
  if (!desktop_.CanSetWallpaper() && !toldNoDesktop_) {
    toldNoDesktop_ = true;
    MessageBox("Lumora不能在这个桌面(" + desktop_.Name() + ")上设置墙纸!", "错误提示");
  }
  return taken;
}

void SayNotAPicture(const std::string& path) {
  MessageBox(ReadableFileName(path) + "不是JPG或BMP图片!", "错误提示");
}

void SayMissing(const std::string& path) {
  MessageBox(ReadableFileName(path) + "不存在!", "错误提示");
}

std::string NotTakenText(const platform::DesktopWallpaper& desktop) {
  return "the desktop (" + desktop.Name() + ") did not take the wallpaper";
}

void SayDesktopSilent(const platform::DesktopWallpaper& desktop) {
  MessageBox("桌面(" + desktop.Name() + ")没有应答,墙纸显示方式没有改变!", "错误提示");
}

}  // namespace lumora
