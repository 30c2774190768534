// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "toolkit/bitmap.h"

namespace lumora {

// The kinds of picture a wallpaper can be made from, told by the file name's extension in any letter case
// (cameras write "IMG_0001.JPG").
enum class WallpaperKind { Jpeg, Bitmap, Other };
WallpaperKind KindOfWallpaper(const std::string& fileName);

// The picture of a JPEG file, decoded as the JPEG type decodes it and turned the right way up as its
// EXIF orientation says. Raises the codec's error for a file that is not a readable JPEG.
std::unique_ptr<TBitmap> DecodeWallpaperJpeg(const std::string& fileName);

// The picture held by the bytes of a BMP file, read without copying them; false, with picture empty, when
// they are no bitmap this program reads.
bool ReadBitmapBytes(std::string_view bytes, TBitmap& picture);

// Replaces target with a byte-for-byte copy of source in one step: a failure leaves target as it was.
// Raises EFOpenError/EReadError for the source, EFCreateError/EWriteError for the target.
void CopyWallpaperFile(const std::string& source, const std::string& target);

// True when both names lead to one file (a link, another spelling of the path), so copying one onto the
// other would destroy it.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace lumora
