// SPDX-License-Identifier: GPL-3.0-or-later
#include "unit/jpeg/jpeg_test_support.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace lumora::jpeg_test {

bool HavePeers() {
  return Shell("command -v cjpeg && command -v djpeg") == 0 && ::access("/usr/bin/convert", X_OK) == 0;
}

bool HaveExifPeers() {
  return HavePeers() && Shell("command -v exiftool") == 0 && ::access("/usr/bin/identify", X_OK) == 0;
}

int Shell(const std::string& command) {
  const int status = std::system(("(" + command + ") >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const Path& path) {
  return "'" + path.string() + "'";
}

std::string ReadFile(const Path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const Path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Saved(TJPEGImage& image) {
  std::ostringstream out;
  image.SaveToStream(out);
  return out.str();
}

void FillTestBitmap(TBitmap& bitmap, int width, int height, bool smooth) {
  bitmap.Clear(TPixelFormat::pf24bit);
  bitmap.SetSize(width, height);
  auto clamp = [](double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
      h = (h ^ h >> 13) * 0x5bd1e995u;
      const int grain = smooth ? 0 : static_cast<int>(h % 25) - 12;
      const double green =
          smooth ? 128 + 80 * std::sin(x / 29.0 + y / 41.0) : 40 + (x * 7 + y * 3) % 180 + grain;
      std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
      p[0] = clamp(200 - 90 * std::sin((x + y) / 31.0) - grain);
      p[1] = clamp(green);
      p[2] = clamp(128 + 100 * std::sin(x / 17.0) * std::cos(y / 23.0) + grain);
    }
}

void WritePpm(const Path& path, const TBitmap& bitmap) {
  TBitmap rgb;
  rgb.Assign(bitmap);
  rgb.SetPixelFormat(TPixelFormat::pf24bit);
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << rgb.GetWidth() << ' ' << rgb.GetHeight() << "\n255\n";
  for (int y = 0; y < rgb.GetHeight(); ++y)
    for (int x = 0; x < rgb.GetWidth(); ++x) {
      const std::uint8_t* p = rgb.ScanLine(y) + 3 * x;
      out << p[2] << p[1] << p[0];
    }
}

void WritePpm(const Path& path, int width, int height) {
  TBitmap bitmap;
  FillTestBitmap(bitmap, width, height);
  WritePpm(path, bitmap);
}

Picture ReadBmp(const Path& path) {
  const std::string b = ReadFile(path);
  auto le = [&](std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b.at(at + i));
    return v;
  };
  if (b.rfind("BM", 0) != 0 || le(30, 4) != 0) throw std::runtime_error("not a plain BMP: " + path.string());
  Picture p;
  p.width = static_cast<std::int32_t>(le(18, 4));
  const auto signedHeight = static_cast<std::int32_t>(le(22, 4));
  p.height = std::abs(signedHeight);
  p.bits = static_cast<int>(le(28, 2));
  const std::size_t table = 14 + le(14, 4);
  for (std::uint32_t i = 0; p.bits == 8 && i < (le(46, 4) ? le(46, 4) : 256); ++i) {
    p.palette.push_back({static_cast<std::uint8_t>(le(table + 4 * i + 2, 1)),
                         static_cast<std::uint8_t>(le(table + 4 * i + 1, 1)),
                         static_cast<std::uint8_t>(le(table + 4 * i, 1)), 0});
  }
  const std::size_t used = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.bits / 8);
  const std::size_t stride = (used + 3) & ~std::size_t{3};
  for (int y = 0; y < p.height; ++y) {
    // A positive height stores the bottom row first.
    const std::size_t at =
        le(10, 4) + stride * static_cast<std::size_t>(signedHeight > 0 ? p.height - 1 - y : y);
    if (at + used > b.size()) throw std::runtime_error("BMP pixels cut short");
    p.rows.emplace_back(b.begin() + static_cast<std::ptrdiff_t>(at),
                        b.begin() + static_cast<std::ptrdiff_t>(at + used));
  }
  return p;
}

Picture FromBitmap(const TBitmap& bitmap) {
  Picture p{bitmap.GetWidth(),
            bitmap.GetHeight(),
            bitmap.GetPixelFormat() == TPixelFormat::pf24bit ? 24 : 8,
            {},
            {}};
  if (p.bits == 8) p.palette = bitmap.GetPalette();
  const auto used = static_cast<std::ptrdiff_t>(p.width) * (p.bits / 8);
  for (int y = 0; y < p.height; ++y) p.rows.emplace_back(bitmap.ScanLine(y), bitmap.ScanLine(y) + used);
  return p;
}

std::string Difference(const Picture& expected, const Picture& actual) {
  if (expected.width != actual.width || expected.height != actual.height || expected.bits != actual.bits) {
    return "shape " + std::to_string(expected.width) + "x" + std::to_string(expected.height) + "x" +
           std::to_string(expected.bits) + " vs " + std::to_string(actual.width) + "x" +
           std::to_string(actual.height) + "x" + std::to_string(actual.bits);
  }
  auto colour = [](const Picture& p, std::uint8_t index) {
    return index < p.palette.size() ? p.palette[index] : TPaletteEntry{1, 2, 3, 4};  // matches no real entry
  };
  for (int y = 0; y < expected.height; ++y)
    for (std::size_t i = 0; i < expected.rows[y].size(); ++i) {
      const std::uint8_t e = expected.rows[y][i];
      const std::uint8_t a = actual.rows[y][i];
      if (expected.bits == 24 ? e != a
                              : colour(expected, e) != colour(actual, a) || e >= expected.palette.size()) {
        return "row " + std::to_string(y) + " byte " + std::to_string(i) + ": " + std::to_string(e) + " vs " +
               std::to_string(a);
      }
    }
  return "";
}

}  // namespace lumora::jpeg_test
