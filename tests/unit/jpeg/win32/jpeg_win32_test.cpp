// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"

namespace lumora {
namespace {

// Smooth gradients with a hard edge: what a photo has, and what a broken colour conversion or IDCT would
// show at once.
void FillTestPicture(TBitmap& picture) {
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetSize(96, 64);
  for (int y = 0; y < 64; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < 96; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x * 2);
      row[3 * x + 1] = static_cast<std::uint8_t>(y * 3);
      row[3 * x + 2] = x < 48 ? 40 : 220;
    }
  }
}

double MeanDifference(const TBitmap& a, const TBitmap& b) {
  double total = 0;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < 3 * a.GetWidth(); ++x) total += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
  return total / (3.0 * a.GetWidth() * a.GetHeight());
}

TEST(JpegWin32, EncodesAndDecodesThroughAFileWithAChineseName) {
  TBitmap original;
  FillTestPicture(original);
  TJPEGImage encoder;
  encoder.SetEncodeQuality(95);
  encoder.Assign(original);
  char folder[MAX_PATH] = {};
  ASSERT_GT(::GetTempPathA(MAX_PATH, folder), 0u);
  // "风景.jpg" in the ANSI code page, as the file dialog and the list files hand names over.
  wchar_t wide[] = L"\u98ce\u666f.jpg";
  char name[32] = {};
  ASSERT_GT(::WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr), 0);
  const std::string path = std::string(folder) + name;
  encoder.SaveToFile(path);

  TJPEGImage decoded;
  decoded.LoadFromFile(path);
  TBitmap pixels;
  pixels.Assign(decoded);
  ASSERT_EQ(pixels.GetWidth(), 96);
  ASSERT_EQ(pixels.GetHeight(), 64);
  pixels.SetPixelFormat(TPixelFormat::pf24bit);
  EXPECT_LT(MeanDifference(original, pixels), 3.0);
  std::remove(path.c_str());
}

TEST(JpegWin32, ACutFileRaisesTheCodecsError) {
  TBitmap picture;
  FillTestPicture(picture);
  TJPEGImage encoder;
  encoder.Assign(picture);
  std::ostringstream whole;
  encoder.SaveToStream(whole);
  // Cut inside the table segments, before any picture data.
  std::istringstream cut(whole.str().substr(0, 200));
  EXPECT_THROW(
      {
        TJPEGImage damaged;
        damaged.LoadFromStream(cut);
        TBitmap pixels;
        pixels.Assign(damaged);
      },
      EJPEG);
}

}  // namespace
}  // namespace lumora
