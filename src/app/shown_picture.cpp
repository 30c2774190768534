// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shown_picture.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "app/wallpaper_file.h"
#include "jpeg/jpeg_image.h"
#include "toolkit/regular_file.h"

namespace lumora {

namespace {

// Whether the file holds exactly these bytes, read and compared a block at a time.
bool FileHolds(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
  try {
    RegularFile file(fileName);
    if (file.Size() != static_cast<std::int64_t>(bytes.size())) return false;
    std::vector<char> block(std::size_t{1} << 16);
    std::size_t at = 0;
    for (;;) {
      const std::int64_t got = file.Read(block.data(), block.size());
      if (got <= 0) return got == 0 && at == bytes.size();
      const auto count = static_cast<std::size_t>(got);
      if (count > bytes.size() - at || std::memcmp(block.data(), bytes.data() + at, count) != 0) return false;
      at += count;
    }
  } catch (const std::exception&) {
    return false;  // the usual way says what is wrong with the file
  }
}

}  // namespace

void ShownPicture::Remember(const std::string& fileName, const TGraphic& graphic, const ShownGraphic& shown) {
  image_ = QImage();
  file_.reset();
  fileName_ = fileName;
  const auto* jpeg = dynamic_cast<const TJPEGImage*>(&graphic);
  if (jpeg == nullptr || !shown.jpegColourPixels || KindOfWallpaper(fileName) != WallpaperKind::Jpeg) return;
  // A raster pixmap hands out its own image, without a copy.
  QImage image = shown.pixmap.toImage();
  if (image.format() != QImage::Format_RGB32) return;
  image_ = std::move(image);
  file_ = jpeg->SharedData();
}

std::optional<PixelRows> ShownPicture::PixelsOf(const std::string& fileName) const {
  if (image_.isNull() || fileName != fileName_ || !FileHolds(fileName, file_->Bytes)) return std::nullopt;
  return PixelRows{image_.constBits(), image_.bytesPerLine(),     image_.width(),
                   image_.height(),    PixelRows::Layout::Xrgb32, nullptr};
}

}  // namespace lumora
