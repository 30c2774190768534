// SPDX-License-Identifier: GPL-3.0-or-later
// The bitmap in memory: sizes it refuses, format conversion, and copies that share memory until written.
#include <gtest/gtest.h>

#include <utility>

#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"

namespace lumora {
namespace {

void FillGradient(TBitmap& bitmap, int width, int height) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width * 3; ++x) row[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
  }
}

TEST(BitmapCore, RowsAreTopDownWithFourByteStride) {
  TBitmap bitmap;
  bitmap.SetSize(5, 3);
  EXPECT_EQ(bitmap.RowStride(), 16);
  EXPECT_EQ(bitmap.ScanLine(1) - bitmap.ScanLine(0), 16);
  bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  EXPECT_EQ(bitmap.RowStride(), 8);
  EXPECT_THROW(bitmap.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphicOperation);
}

TEST(BitmapCore, PicturesTooLargeToHoldAreRefusedBeforeAllocating) {
  TBitmap bitmap;
  bitmap.SetSize(2, 2);
  EXPECT_THROW(bitmap.SetSize(60000, 60000), EOutOfResources);
  EXPECT_THROW(bitmap.SetSize(0x7fffffff, 0x7fffffff), EOutOfResources);
  EXPECT_THROW(bitmap.SetSize(-1, 5), EInvalidGraphic);
  // The old picture is still whole.
  EXPECT_EQ(bitmap.GetWidth(), 2);
  EXPECT_EQ(bitmap.GetHeight(), 2);
  bitmap.SetSize(0, 10);
  EXPECT_TRUE(bitmap.GetEmpty());
}

TEST(BitmapCore, EightBitPixelsBecomeTheirPaletteColours) {
  TBitmap bitmap;
  bitmap.Clear(TPixelFormat::pf8bit);
  bitmap.SetSize(3, 1);
  bitmap.SetPalette({{10, 20, 30, 0}, {200, 100, 50, 0}});
  bitmap.ScanLine(0)[0] = 1;
  bitmap.ScanLine(0)[1] = 0;
  bitmap.ScanLine(0)[2] = 9;  // beyond the palette: black, never a read past it
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  const std::uint8_t* row = bitmap.ScanLine(0);
  const std::uint8_t expected[] = {50, 100, 200, 30, 20, 10, 0, 0, 0};
  EXPECT_TRUE(std::equal(expected, expected + 9, row));

  bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  const TPaletteEntry& back = bitmap.GetPalette()[bitmap.ScanLine(0)[0]];
  EXPECT_NEAR(back.peRed, 200, 26);
  EXPECT_NEAR(back.peGreen, 100, 26);
  EXPECT_NEAR(back.peBlue, 50, 26);
}

TEST(BitmapCore, CopiesShareMemoryUntilEitherWrites) {
  TBitmap original;
  FillGradient(original, 64, 8);
  TBitmap copy;
  copy.Assign(original);
  const TBitmap& readOnly = copy;
  EXPECT_EQ(readOnly.ScanLine(3), std::as_const(original).ScanLine(3));  // no second buffer yet

  copy.ScanLine(3)[0] = 0xEE;  // the writer gets its own pixels
  EXPECT_NE(std::as_const(original).ScanLine(3), readOnly.ScanLine(3));
  EXPECT_NE(std::as_const(original).ScanLine(3)[0], 0xEE);
  EXPECT_EQ(readOnly.ScanLine(3)[0], 0xEE);
  // Everything else came along.
  EXPECT_EQ(readOnly.ScanLine(7)[10], std::as_const(original).ScanLine(7)[10]);

  // And the other way round: writing to the original leaves an earlier copy alone.
  TBitmap second;
  second.Assign(original);
  const std::uint8_t before = std::as_const(second).ScanLine(0)[5];
  original.ScanLine(0)[5] = static_cast<std::uint8_t>(before + 1);
  EXPECT_EQ(std::as_const(second).ScanLine(0)[5], before);

  // A copy outlives its source.
  TBitmap survivor;
  {
    TBitmap source;
    FillGradient(source, 4, 4);
    survivor.Assign(source);
  }
  EXPECT_EQ(std::as_const(survivor).ScanLine(3)[2], static_cast<std::uint8_t>(2 * 7 + 3 * 13));
}

}  // namespace
}  // namespace lumora
