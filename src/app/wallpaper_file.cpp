// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/wallpaper_file.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <istream>
#include <streambuf>
#include <system_error>

#include "jpeg/jpeg_image.h"
#include "toolkit/files.h"
#include "toolkit/orientation.h"

namespace lumora {

namespace {

// Bytes already in memory as an input stream that can seek, read in place.
class BytesInput : public std::streambuf {
 public:
  explicit BytesInput(std::string_view bytes) {
    // The get area is only ever read from; streambuf simply has no const flavour.
    char* begin = const_cast<char*>(bytes.data());
    setg(begin, begin, begin + bytes.size());
  }

 protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir from, std::ios_base::openmode which) override {
    const off_type size = egptr() - eback();
    const off_type base = from == std::ios_base::beg   ? 0
                          : from == std::ios_base::cur ? gptr() - eback()
                                                       : size;
    if ((which & std::ios_base::in) == 0 || base + offset < 0 || base + offset > size) return {off_type{-1}};
    setg(eback(), eback() + base + offset, egptr());
    return {base + offset};
  }
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type{position}, std::ios_base::beg, which);
  }
};

}  // namespace

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
