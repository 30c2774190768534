// SPDX-License-Identifier: GPL-3.0-or-later
// Turning bitmaps for the eight EXIF orientations, against pictures written out by hand. Pictures larger
// than the turner's tiles are compared with ImageMagick in the JPEG tests.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/orientation.h"
#include "unit/bitmap/bmp_test_support.h"

namespace lumora {
namespace {

// The first byte of every pixel, rows top-down.
std::vector<std::vector<int>> Values(const TBitmap& bitmap) {
  const int step = bitmap.GetPixelFormat() == TPixelFormat::pf24bit ? 3 : 1;
  std::vector<std::vector<int>> rows(static_cast<std::size_t>(bitmap.GetHeight()));
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) rows[y].push_back(bitmap.ScanLine(y)[x * step]);
  return rows;
}

// Stored as  1 2 3 / 4 5 6 , pixel v being the bytes v, v + 100, v + 200 in pf24bit.
void MakeSixPixels(TBitmap& bitmap, TPixelFormat format) {
  bitmap.Clear(format);
  bitmap.SetSize(3, 2);
  bitmap.SetPalette({{9, 8, 7, 0}, {1, 2, 3, 0}});
  const int step = format == TPixelFormat::pf24bit ? 3 : 1;
  for (int i = 0; i < 6 * step; ++i)
    bitmap.ScanLine(i / (3 * step))[i % (3 * step)] =
        static_cast<std::uint8_t>(1 + i / step + 100 * (i % step));
}

// Drawn from the EXIF descriptions of where the stored first row and first column end up.
const std::array<std::vector<std::vector<int>>, 9> kTurned = {{
    {},
    {{1, 2, 3}, {4, 5, 6}},    // 1: as stored
    {{3, 2, 1}, {6, 5, 4}},    // 2: first row at the top, read right to left
    {{6, 5, 4}, {3, 2, 1}},    // 3: first row at the bottom, right to left
    {{4, 5, 6}, {1, 2, 3}},    // 4: first row at the bottom, left to right
    {{1, 4}, {2, 5}, {3, 6}},  // 5: first row down the left side
    {{4, 1}, {5, 2}, {6, 3}},  // 6: first row down the right side
    {{6, 3}, {5, 2}, {4, 1}},  // 7: first row up the right side
    {{3, 6}, {2, 5}, {1, 4}},  // 8: first row up the left side
}};

TEST(BitmapOrientation, EveryOrientationInBothFormats) {
  for (const TPixelFormat format : {TPixelFormat::pf8bit, TPixelFormat::pf24bit}) {
    for (std::size_t orientation = 1; orientation <= 8; ++orientation) {
      SCOPED_TRACE("orientation " + std::to_string(orientation));
      TBitmap bitmap;
      MakeSixPixels(bitmap, format);
      ApplyOrientation(bitmap, static_cast<int>(orientation));
      EXPECT_EQ(Values(bitmap), kTurned[orientation]);
      EXPECT_EQ(bitmap.GetPixelFormat(), format);
      EXPECT_EQ(bitmap.GetPalette().size(), 2u);
      if (format == TPixelFormat::pf24bit) {  // the three bytes of a pixel travel together
        EXPECT_EQ(bitmap.ScanLine(1)[4], bitmap.ScanLine(1)[3] + 100);
        EXPECT_EQ(bitmap.ScanLine(1)[5], bitmap.ScanLine(1)[3] + 200);
      }
    }
  }
}

TEST(BitmapOrientation, OtherValuesChangeNothingAndSharedPixelsStayPut) {
  TBitmap original;
  MakeSixPixels(original, TPixelFormat::pf24bit);
  for (const int orientation : {1, 0, 9, -6, 0x106}) {
    TBitmap bitmap;
    bitmap.Assign(original);
    int changes = 0;
    bitmap.OnChange = [&](TGraphic&) { ++changes; };
    ApplyOrientation(bitmap, orientation);
    bmptest::ExpectSamePicture(original, bitmap);
    EXPECT_EQ(changes, 0) << orientation;
  }
  // Assigned bitmaps share pixels until one writes: turning one must leave the other as it was.
  TBitmap turned;
  turned.Assign(original);
  ApplyOrientation(turned, 6);
  EXPECT_EQ(Values(turned), kTurned[6]);
  EXPECT_EQ(Values(original), kTurned[1]);
}

// The display copy must show what the wallpaper's turn shows, across tile edges and odd sizes too, whether
// turned whole or a band of rows at a time as they come from the decoder.
TEST(BitmapOrientation, TheThirtyTwoBitCopyMatchesTheTurnedBitmap) {
  TBitmap original;
  original.Clear(TPixelFormat::pf24bit);
  original.SetSize(131, 70);
  for (int y = 0; y < 70; ++y)
    for (int i = 0; i < 131 * 3; ++i) original.ScanLine(y)[i] = static_cast<std::uint8_t>(y * 7 + i * 13);
  for (const int orientation : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
    SCOPED_TRACE("orientation " + std::to_string(orientation));
    TBitmap turned;
    turned.Assign(original);
    ApplyOrientation(turned, orientation);
    const int width = turned.GetWidth();
    const std::ptrdiff_t stride = std::ptrdiff_t{width} * 4 + 8;  // rows may be padded
    std::vector<std::uint32_t> words(static_cast<std::size_t>(stride / 4 * turned.GetHeight()), 0);
    CopyUpright32(original, orientation, reinterpret_cast<std::uint8_t*>(words.data()), stride);
    for (int y = 0; y < turned.GetHeight(); ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* bgr = turned.ScanLine(y) + x * 3;
        ASSERT_EQ(words[static_cast<std::size_t>(y * stride / 4 + x)],
                  0xFF000000u | std::uint32_t{bgr[2]} << 16 | std::uint32_t{bgr[1]} << 8 | bgr[0])
            << x << "," << y;
      }
    }
    // Bands of stored 32-bit rows (64 and 6 of them), each put in its turned place, make the same picture.
    std::vector<std::uint32_t> stored;
    for (int y = 0; y < 70; ++y) {
      for (int x = 0; x < 131; ++x) {
        const std::uint8_t* bgr = original.ScanLine(y) + x * 3;
        stored.push_back(0xFF000000u | std::uint32_t{bgr[2]} << 16 | std::uint32_t{bgr[1]} << 8 | bgr[0]);
      }
    }
    std::vector<std::uint32_t> placed(words.size(), 0);
    for (const auto& [first, count] : {std::pair(0, 64), std::pair(64, 6)}) {
      PlaceUpright32(reinterpret_cast<const std::uint8_t*>(&stored[static_cast<std::size_t>(first) * 131]),
                     131 * 4, first, count, 131, 70, orientation,
                     reinterpret_cast<std::uint8_t*>(placed.data()), stride);
    }
    EXPECT_TRUE(placed == words);
  }
}

}  // namespace
}  // namespace lumora
