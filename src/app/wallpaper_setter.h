// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop_wallpaper.h"
#include "toolkit/bitmap.h"
#include "toolkit/pixel_rows.h"

namespace lumora {

// Makes picture files the desktop's wallpaper by way of the wallpaper file (BmpFile): what "设为墙纸" does,
// for the window and for the command line when no window runs.
class WallpaperSetter {
 public:
  explicit WallpaperSetter(platform::DesktopWallpaper& desktop) : desktop_(desktop) {}

  // "设为墙纸" of a file: a missing file or one of another kind is said, decoding and copying errors are
  // raised; otherwise the picture goes to bmpFile and bmpFile to the desktop. True when the desktop took it.
  bool SetFrom(const std::string& path, const std::string& bmpFile);
  // Fills bmpFile from a file that exists: a JPEG picture is decoded into it, a bitmap copied over it.
  // False, with a message, for a file of any other kind; bmpFile then keeps what it held. Decoding and
  // copying errors are raised, and bmpFile then keeps what it held too.
  bool Prepare(const std::string& path, const std::string& bmpFile);
  // Decodes the JPEG file source and writes its picture to target as a BMP file, replacing it in one step.
  bool JpgToBmp(const std::string& source, const std::string& target);
  // Hands bmpFile to the desktop as the wallpaper, in the style now set. True when the desktop took it.
  bool Apply(const std::string& bmpFile);
  // "设为墙纸" of a JPEG file whose upright pixels are at hand already (the preview's, when they are still
  // what the file holds): they go to bmpFile and to the desktop without decoding the file again. Writing
  // errors are raised, with bmpFile and the desktop as they were.
  bool SetFromPixels(const PixelRows& picture, const std::string& bmpFile);

 private:
  // SetFrom for a JPEG file: decoded, then written to bmpFile while the desktop readies its pixels.
  bool SetFromJpeg(const std::string& source, const std::string& bmpFile);
  // SetFrom for a bitmap file other than bmpFile: copied to it while the desktop readies its pixels.
  bool SetFromBitmap(const std::string& source, const std::string& bmpFile);
  // SetFromPixels without what follows every hand-over (Applied).
  bool SetFromPixelsUnapplied(const PixelRows& picture, const std::string& bmpFile);
  // Runs write (which fills bmpFile) on a second thread while the desktop readies the pixels readyPixels
  // gives; true when the desktop took the file. Without pixels the desktop is handed the written file.
  bool ShowWhileWriting(const std::string& bmpFile, const std::function<void()>& write,
                        const std::function<std::optional<PixelRows>()>& readyPixels);
  static void WriteBmp(const PixelRows& picture, const std::string& target);
  // What follows every hand-over to the desktop, whatever it made of it.
  bool Applied(bool taken);

  platform::DesktopWallpaper& desktop_;
  // The picture Prepare just wrote, until Apply hands it to the desktop.
  std::unique_ptr<TBitmap> preparedPicture_;
  bool toldNoDesktop_ = false;
};

// The messages of "设为墙纸" that the rotation says too.
void SayNotAPicture(const std::string& path);
void SayMissing(const std::string& path);
// For the command line, which has to say when nothing happened: the desktop refused the wallpaper.
std::string NotTakenText(const platform::DesktopWallpaper& desktop);
// The desktop did not answer a change of style.
void SayDesktopSilent(const platform::DesktopWallpaper& desktop);

}  // namespace lumora
