// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/desktop_wallpaper.h"

namespace lumora::platform {

// The desktop's settings under HKEY_CURRENT_USER "\Control Panel\desktop", through TRegistry: Windows'
// own registry there, the program's store on a bare X session.

// The style pair; two empty texts when nothing can be read. Never raises.
DisplayStylePair ReadRegistryStylePair();
// Writes "TileWallPaper", then "WallpaperStyle". Raises ERegistryException when the key cannot be written.
void WriteRegistryStylePair(const DisplayStylePair& pair);

// The recorded wallpaper file ("Wallpaper"); empty when none is recorded or it cannot be read.
std::string ReadRecordedWallpaper();
// Raises ERegistryException when the key cannot be written.
void WriteRecordedWallpaper(const std::string& fileName);

// A desktop that keeps no wallpaper settings of its own (a bare X session, sway): the style pair and the
// wallpaper's path live in the store above, and the backend only shows pictures.
class StoreKeptWallpaper : public DesktopWallpaper {
 public:
  DisplayStylePair ReadStyle() override { return ReadRegistryStylePair(); }
  void WriteStyle(const DisplayStylePair& pair) override { WriteRegistryStylePair(pair); }
  // Recorded only once shown, as Windows does; a store that cannot take it leaves the change half done, and
  // the result is false.
  bool SetWallpaper(const std::string& bmpFile, const PixelRows* picture) override;
  bool SetWallpaperWhileWritten(const std::string& bmpFile, const PixelRows& picture,
                                const std::function<bool()>& fileWritten) override;
  bool Reapply() override;

 protected:
  // Shows bmpFile (picture, when given, holds its pixels; Reapply gives none) in style; false when the
  // desktop refused.
  virtual bool Show(const std::string& bmpFile, const PixelRows* picture, DisplayStyle style) = 0;
  // Show for a file still being written, as SetWallpaperWhileWritten describes.
  virtual bool ShowWhileWritten(const std::string& bmpFile, const PixelRows& picture, DisplayStyle style,
                                const std::function<bool()>& fileWritten) {
    return fileWritten() && Show(bmpFile, &picture, style);
  }

 private:
  bool Record(const std::string& bmpFile);
};

}  // namespace lumora::platform
