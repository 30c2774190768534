// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the JPEG tests: a scratch directory, the peer programs (cjpeg, djpeg, ImageMagick, exiftool)
// that make and decode the corpus, and a small reader for the BMP files djpeg writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "jpeg/jpeg_image.h"
#include "support/process.h"
#include "toolkit/bitmap.h"

namespace lumora::jpeg_test {

using Path = std::filesystem::path;

// True when cjpeg, djpeg and ImageMagick (/usr/bin/convert, not a look-alike on PATH) are installed.
bool HavePeers();
// True when, besides those, exiftool and ImageMagick's identify are installed.
bool HaveExifPeers();
// Runs a shell command; returns its exit status.
int Shell(const std::string& command);
std::string Quote(const Path& path);
std::string ReadFile(const Path& path);
void WriteFile(const Path& path, const std::string& bytes);
// What the image writes when saved to a stream (encoding first when it holds only a bitmap).
std::string Saved(TJPEGImage& image);

// A directory removed with its contents at the end, whose names come as paths.
class Scratch : public test::ScratchDirectory {
 public:
  std::filesystem::path operator/(const std::string& name) const {
    return std::filesystem::path(ScratchDirectory::Path()) / name;
  }
};

// A photo-like test picture: waves, a sawtooth with hard edges and grain, or only gentle waves.
void FillTestBitmap(TBitmap& bitmap, int width, int height, bool smooth = false);
void WritePpm(const Path& path, const TBitmap& bitmap);
void WritePpm(const Path& path, int width, int height);

// Pixels as written: rows top-down without padding; a palette only for 8-bit pictures.
struct Picture {
  int width = 0;
  int height = 0;
  int bits = 0;
  TPalette palette;
  std::vector<std::vector<std::uint8_t>> rows;
};
Picture ReadBmp(const Path& path);
Picture FromBitmap(const TBitmap& bitmap);
// Empty when both show the same colours, else where they first differ. Palette order may differ.
std::string Difference(const Picture& expected, const Picture& actual);

}  // namespace lumora::jpeg_test
