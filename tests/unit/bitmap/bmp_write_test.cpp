// SPDX-License-Identifier: GPL-3.0-or-later
// Saving: the file layout other programs rely on, round trips, and stream failures.

#include <gtest/gtest.h>

#include <cstring>
#include <streambuf>

#include "toolkit/exceptions.h"
#include "unit/bitmap/bmp_test_support.h"

namespace lumora {
namespace {

std::uint32_t Field32(const std::string& file, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(file.at(at + i));
  return v;
}

// Every byte differs from its neighbours, so a shifted or mirrored row shows.
void Picture(TBitmap& bitmap, TPixelFormat format, int width, int height, int colours) {
  bitmap.Clear(format);
  bitmap.SetSize(width, height);
  TPalette palette;
  for (int i = 0; format == TPixelFormat::pf8bit && i < colours; ++i) {
    palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                       static_cast<std::uint8_t>(i * 7), 0});
  }
  bitmap.SetPalette(palette);
  const int used = width * (format == TPixelFormat::pf24bit ? 3 : 1);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < used; ++i)
      bitmap.ScanLine(y)[i] = static_cast<std::uint8_t>((y * 37 + i * 11 + 5) % colours);
  }
}

struct Shape {
  TPixelFormat format;
  int width;
  int height;
  int colours;
};

void PrintTo(const Shape& s, std::ostream* out) {
  *out << s.width << "x" << s.height << (s.format == TPixelFormat::pf8bit ? " 8-bit" : " 24-bit");
}

class BmpRoundTrip : public testing::TestWithParam<Shape> {};

TEST_P(BmpRoundTrip, HeadersDescribeTheFileAndPixelsComeBack) {
  const Shape s = GetParam();
  TBitmap original;
  Picture(original, s.format, s.width, s.height, s.colours);
  const std::string file = bmptest::Save(original);

  const bool indexed = s.format == TPixelFormat::pf8bit;
  const std::size_t stride = (static_cast<std::size_t>(s.width) * (indexed ? 8 : 24) + 31) / 32 * 4;
  const std::size_t table = indexed ? 4 * static_cast<std::size_t>(s.colours) : 0;
  ASSERT_EQ(file.size(), 54 + table + stride * s.height);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(Field32(file, 2), file.size());
  EXPECT_EQ(Field32(file, 10), 54 + table);
  EXPECT_EQ(Field32(file, 14), 40u);
  EXPECT_EQ(Field32(file, 18), static_cast<std::uint32_t>(s.width));
  EXPECT_EQ(Field32(file, 22), static_cast<std::uint32_t>(s.height));  // positive: bottom-up
  EXPECT_EQ(Field32(file, 26), (indexed ? 8u : 24u) << 16 | 1u);       // planes, bits
  EXPECT_EQ(Field32(file, 30), 0u);
  EXPECT_EQ(Field32(file, 34), stride * s.height);
  EXPECT_EQ(Field32(file, 46), indexed ? static_cast<std::uint32_t>(s.colours) : 0u);

  TBitmap loaded;
  bmptest::Load(loaded, file);
  bmptest::ExpectSamePicture(original, loaded);
}

constexpr auto k24 = TPixelFormat::pf24bit;
constexpr auto k8 = TPixelFormat::pf8bit;
INSTANTIATE_TEST_SUITE_P(Shapes, BmpRoundTrip,
                         testing::Values(Shape{k24, 1, 1, 256}, Shape{k24, 1, 9, 256}, Shape{k24, 7, 1, 256},
                                         Shape{k24, 13, 7, 256}, Shape{k24, 4, 3, 256}, Shape{k8, 1, 1, 2},
                                         Shape{k8, 1, 6, 16}, Shape{k8, 5, 1, 256}, Shape{k8, 11, 3, 200}));

TEST(BmpWrite, RowsGoBottomUpWithZeroPaddingWhateverTheMemoryHolds) {
  TBitmap bitmap;
  bitmap.SetSize(3, 2);
  for (int y = 0; y < 2; ++y) {
    std::memset(bitmap.ScanLine(y), 0xAA, 12);  // including the three padding bytes
    bitmap.ScanLine(y)[0] = static_cast<std::uint8_t>(y + 1);
  }
  const std::string file = bmptest::Save(bitmap);
  ASSERT_EQ(file.size(), 54u + 24u);
  EXPECT_EQ(file[54], 2) << "the bottom row comes first";
  EXPECT_EQ(file[66], 1);
  for (std::size_t row : {54u, 66u}) EXPECT_EQ(file.substr(row + 9, 3), std::string(3, '\0'));
}

TEST(BmpWrite, ColourTableCoversEveryIndexInUseAndEmptyPicturesAreRefused) {
  TBitmap bitmap;
  Picture(bitmap, TPixelFormat::pf8bit, 3, 1, 2);
  bitmap.ScanLine(0)[1] = 5;
  const std::string file = bmptest::Save(bitmap);
  EXPECT_EQ(Field32(file, 46), 6u);
  EXPECT_EQ(file.substr(54 + 4 * 2, 4 * 4), std::string(16, '\0'));

  TBitmap empty;
  EXPECT_THROW(bmptest::Save(empty), EInvalidGraphic);
  empty.SetSize(4, 0);
  EXPECT_THROW(bmptest::Save(empty), EInvalidGraphic);
}

// Takes a fixed number of bytes, then refuses, like a full disk. It only counts what it takes.
class LimitedBuf : public std::streambuf {
 public:
  explicit LimitedBuf(std::size_t limit) : limit_(limit) {}
  std::size_t written = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    const auto take = std::min<std::streamsize>(n, static_cast<std::streamsize>(limit_ - written));
    written += static_cast<std::size_t>(take);
    return take;
  }
  int_type overflow(int_type c) override { return xsputn(nullptr, 1) == 1 ? c : traits_type::eof(); }

 private:
  std::size_t limit_;
};

TEST(BmpWrite, StreamThatStopsTakingBytesRaisesWriteError) {
  TBitmap bitmap;
  Picture(bitmap, TPixelFormat::pf8bit, 5, 4, 16);
  const std::size_t size = bmptest::Save(bitmap).size();
  for (std::size_t limit : {std::size_t{0}, std::size_t{30}, std::size_t{54}, std::size_t{100}, size - 1}) {
    LimitedBuf buf(limit);
    std::ostream out(&buf);
    EXPECT_THROW(bitmap.SaveToStream(out), EWriteError) << "cut at " << limit;
  }
  LimitedBuf full(100);
  std::ostream throwing(&full);
  throwing.exceptions(std::ios::badbit);
  EXPECT_THROW(bitmap.SaveToStream(throwing), EWriteError);
}

TEST(BmpWrite, LargePictureIsWrittenWithoutCopyingIt) {
  TBitmap bitmap;
  bitmap.SetSize(3840, 2160);
  LimitedBuf buf(std::size_t{1} << 40);
  std::ostream out(&buf);
  bmptest::ResetLargestAllocation();
  bitmap.SaveToStream(out);
  EXPECT_LT(bmptest::LargestAllocation(), std::size_t{1} << 20);
  EXPECT_EQ(buf.written, 54u + 3840u * 3 * 2160);
}

}  // namespace
}  // namespace lumora
