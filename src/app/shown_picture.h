// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>
#include <memory>
#include <optional>
#include <string>

#include "app/graphic_pixmap.h"
#include "toolkit/pixel_rows.h"

namespace lumora {

class TGraphic;
struct TJPEGData;

// The pixels the preview shows of a JPEG file, with the file's bytes they were decoded from. "设为墙纸" of
// that same file, while it still holds those bytes, paints and writes them instead of decoding the file a
// second time: the user nearly always looks at a picture before making it the wallpaper.
class ShownPicture {
 public:
  // What the preview now shows (shown, made from graphic, loaded from fileName) is kept when it is exactly
  // the picture the wallpaper would get: a colour JPEG file's whole picture, turned upright, in 32-bit
  // pixels. Anything else (a bitmap shown through a JPEG copy, a gray or 8-bit picture) leaves nothing kept.
  void Remember(const std::string& fileName, const TGraphic& graphic, const ShownGraphic& shown);
  // The kept pixels when fileName is the file they came from and holds the same bytes as then (it is read
  // again to compare: a few milliseconds, against a decode of tens); none otherwise. They stay valid until
  // the next Remember.
  std::optional<PixelRows> PixelsOf(const std::string& fileName) const;

 private:
  std::string fileName_;
  std::shared_ptr<const TJPEGData> file_;  // the bytes the pixels were decoded from
  QImage image_;                           // shares the preview's pixel memory
};

}  // namespace lumora
