// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/wallpaper_file.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <istream>
#include <system_error>

#include "jpeg/jpeg_image.h"
#include "toolkit/bytes_input.h"
#include "toolkit/files.h"
#include "toolkit/orientation.h"

namespace lumora {

WallpaperKind KindOfWallpaper(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  if (ext == ".jpg" || ext == ".jpeg") return WallpaperKind::Jpeg;
  if (ext == ".bmp") return WallpaperKind::Bitmap;
  return WallpaperKind::Other;
}

std::unique_ptr<TBitmap> DecodeWallpaperJpeg(const std::string& fileName) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(fileName);
  auto picture = std::make_unique<TBitmap>();
  picture->Assign(jpeg);
  // Phones store a portrait photo as landscape pixels and a note of how to turn them.
  ApplyOrientation(*picture, jpeg.ExifOrientation());
  return picture;
}

bool ReadBitmapBytes(std::string_view bytes, TBitmap& picture) {
  BytesInput buffer(bytes);
  std::istream in(&buffer);
  try {
    picture.LoadFromStream(in);
  } catch (const std::exception&) {
    picture.Clear(TPixelFormat::pf24bit);
    return false;
  }
  return !picture.GetEmpty();
}

void CopyWallpaperFile(const std::string& source, const std::string& target) {
  const std::string contents = ReadFileText(source);
  WriteFileAtomically(target, contents);
}

bool SameFile(const std::string& a, const std::string& b) {
  // The system's own notion of identity (device and inode on POSIX, volume and file index on Windows, whose
  // stat() leaves the inode at 0); a file that cannot be looked at is not the same as any other.
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace lumora
