// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the BMP variants ImageMagick does not write, crafted byte by byte.

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <sstream>
#include <streambuf>

#include "toolkit/exceptions.h"
#include "toolkit/pixel_rows.h"
#include "unit/bitmap/bmp_test_support.h"

namespace lumora {
namespace {

using bmptest::BmpFields;
using bmptest::Le;
using Colour = std::array<std::uint8_t, 3>;

TPalette Greys(int count) {
  TPalette palette;
  for (int i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint8_t>(i * 255 / std::max(count - 1, 1));
    palette.push_back({v, static_cast<std::uint8_t>(255 - v), 0, 0});
  }
  return palette;
}

// The indexes of a pf8bit bitmap as text rows, top row first: "7 7 1/0 0 5".
std::string Indexes(const TBitmap& bitmap) {
  std::string out;
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    for (int x = 0; x < bitmap.GetWidth(); ++x)
      out += (x ? " " : y ? "/" : "") + std::to_string(bitmap.ScanLine(y)[x]);
  }
  return out;
}

// Loads into the same bitmap every time: check one result before loading the next.
TBitmap& Loaded(const BmpFields& fields) {
  static TBitmap bitmap;
  bmptest::Load(bitmap, fields.File());
  return bitmap;
}

TEST(BmpRead, TopDownAndBottomUpFilesGiveTheSamePicture) {
  const std::string top = Le({1, 2, 3, 4, 5, 6, 0, 0});  // two 24-bit pixels and padding
  const std::string bottom = Le({7, 8, 9, 10, 11, 12, 0, 0});
  TBitmap bottomUp;
  TBitmap topDown;
  bmptest::Load(bottomUp, BmpFields().Size(2, 2).Pixels(bottom + top).File());
  bmptest::Load(topDown, BmpFields().Size(2, -2).Pixels(top + bottom).File());
  bmptest::ExpectSamePicture(bottomUp, topDown);
  EXPECT_EQ(bmptest::Rgb(topDown, 0, 0), (Colour{3, 2, 1}));
  EXPECT_EQ(bmptest::Rgb(topDown, 1, 1), (Colour{12, 11, 10}));
  EXPECT_EQ(
      Indexes(Loaded(BmpFields().Size(3, -2).Bits(8).Palette(Greys(4)).Pixels(Le({0, 1, 2, 0, 3, 2, 1, 0})))),
      "0 1 2/3 2 1");
}

// The wallpaper shows a 24-bit file straight from its bytes: the rows found in them are the reader's rows,
// whatever the row order, padding and gap before the pixels; other forms and short files give none.
TEST(BmpRead, TwentyFourBitRowsFoundInTheBytesAreTheReadersRows) {
  const std::string rows =
      Le({1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0});
  for (const std::string& file :
       {BmpFields().Size(3, 2).Pixels(rows).File(), BmpFields().Size(3, -2).Pixels(rows).File(),
        BmpFields().Size(3, 2).PixelOffset(60).Pixels(std::string(6, '\0') + rows).File(),
        BmpFields().HeaderSize(124).Size(3, 2).Pixels(rows).File()}) {
    TBitmap read;
    bmptest::Load(read, file);
    const std::optional<PixelRows> found = RowsInBmpBytes(file);
    ASSERT_TRUE(found);
    ASSERT_EQ(std::pair(found->width, found->height), std::pair(3, 2));
    for (int y = 0; y < 2; ++y) EXPECT_EQ(0, std::memcmp(found->Row(y), read.ScanLine(y), 9)) << y;
  }
  const std::string whole = BmpFields().Size(3, 2).Pixels(rows).File();
  EXPECT_FALSE(RowsInBmpBytes(whole.substr(0, whole.size() - 1)));
  EXPECT_FALSE(
      RowsInBmpBytes(BmpFields().Size(3, 2).Bits(8).Palette(Greys(4)).Pixels(std::string(8, '\1')).File()));
  EXPECT_FALSE(RowsInBmpBytes(BmpFields().Size(3, 2).Bits(32).Pixels(std::string(24, '\1')).File()));
  EXPECT_FALSE(RowsInBmpBytes("not a bitmap"));
}

// Each header version keeps BI_BITFIELDS masks somewhere else; each mask width scales to 0..255.
TEST(BmpRead, ColourMasksInEveryHeaderVersion) {
  for (std::uint32_t headerSize : {40u, 52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    // 4-4-4 in 16 bits; the top nibble belongs to no channel.
    const TBitmap& rgb444 = Loaded(BmpFields()
                                       .HeaderSize(headerSize)
                                       .Size(3, 1)
                                       .Bits(16)
                                       .Compression(3)
                                       .Masks({0x0F00, 0x00F0, 0x000F})
                                       .Pixels(Le({0xFF00, 0x0080, 0x000F, 0}, 2)));
    EXPECT_EQ(bmptest::Rgb(rgb444, 0, 0), (Colour{255, 0, 0}));
    EXPECT_EQ(bmptest::Rgb(rgb444, 1, 0), (Colour{0, 136, 0}));
    EXPECT_EQ(bmptest::Rgb(rgb444, 2, 0), (Colour{0, 0, 255}));
    // 10-10-10 in 32 bits, with the two alpha bits set.
    const TBitmap& rgb101010 = Loaded(BmpFields()
                                          .HeaderSize(headerSize)
                                          .Bits(32)
                                          .Compression(3)
                                          .Masks({0x3FF00000, 0x000FFC00, 0x000003FF})
                                          .Pixels(Le({0xC0000000 | 1023u << 20 | 512u << 10 | 1}, 4)));
    EXPECT_EQ(bmptest::Rgb(rgb101010, 0, 0), (Colour{255, 128, 0}));
  }
  // BI_ALPHABITFIELDS: four masks after a 40-byte header.
  const TBitmap& alpha = Loaded(BmpFields()
                                    .Bits(32)
                                    .Compression(6)
                                    .Masks({0xFF, 0xFF00, 0xFF0000, 0xFF000000})
                                    .Pixels(Le({0x80332211}, 4)));
  EXPECT_EQ(bmptest::Rgb(alpha, 0, 0), (Colour{0x11, 0x22, 0x33}));
}

TEST(BmpRead, UncompressedSixteenAndThirtyTwoBitsIgnoreHeaderMasks) {
  const std::vector<std::uint32_t> bogus = {0xF, 0xF0, 0xF00};
  const TBitmap& rgb555 = Loaded(BmpFields().HeaderSize(108).Size(3, 1).Bits(16).Masks(bogus).Pixels(
      Le({0x7FFF, 0x801F, 0x03E0, 0}, 2)));
  EXPECT_EQ(bmptest::Rgb(rgb555, 0, 0), (Colour{255, 255, 255}));
  EXPECT_EQ(bmptest::Rgb(rgb555, 1, 0), (Colour{0, 0, 255}));
  EXPECT_EQ(bmptest::Rgb(rgb555, 2, 0), (Colour{0, 255, 0}));
  const TBitmap& rgb32 =
      Loaded(BmpFields().HeaderSize(124).Bits(32).Masks(bogus).Pixels(Le({0xFF112233}, 4)));
  EXPECT_EQ(bmptest::Rgb(rgb32, 0, 0), (Colour{0x11, 0x22, 0x33}));
}

TEST(BmpRead, ColourTableSizes) {
  // biClrUsed 0: the full 16 entries of a 4-bit picture; the high nibble is the left pixel.
  const TBitmap& four =
      Loaded(BmpFields().Size(3, 1).Bits(4).Palette(Greys(16)).Pixels(Le({0xF1, 0x20, 0, 0})));
  EXPECT_EQ(four.GetPalette(), Greys(16));
  EXPECT_EQ(Indexes(four), "15 1 2");
  // 1 bit: the most significant bit is the left pixel.
  EXPECT_EQ(Indexes(Loaded(BmpFields().Size(10, 1).Bits(1).Palette(Greys(2)).Pixels(Le({0xA0, 0x40, 0, 0})))),
            "1 0 1 0 0 0 0 0 0 1");
  // A short table, and pixels that name colours beyond it: they get black entries, never foreign memory.
  const TBitmap& shortTable =
      Loaded(BmpFields().Size(3, 1).Bits(8).ColorsUsed(3).Palette(Greys(3)).Pixels(Le({2, 200, 0, 0})));
  ASSERT_EQ(shortTable.GetPalette().size(), 201u);
  EXPECT_EQ(shortTable.GetPalette()[2], Greys(3)[2]);
  EXPECT_EQ(shortTable.GetPalette()[200], TPaletteEntry{});
  // biClrUsed 0 on an 8-bit picture whose pixels start after two entries: the pixel offset wins.
  const TBitmap& two = Loaded(BmpFields().Size(2, 1).Bits(8).Palette(Greys(2)).Pixels(Le({1, 0, 0, 0})));
  EXPECT_EQ(two.GetPalette(), Greys(2));
  EXPECT_EQ(Indexes(two), "1 0");
}

TEST(BmpRead, PixelOffsetIsRelativeToTheStartOfTheBmpAndReadingStopsAtItsEnd) {
  const std::string file = BmpFields()
                               .Bits(8)
                               .ColorsUsed(1)
                               .Palette(Greys(1))
                               .PixelOffset(14 + 40 + 4 + 6)
                               .Pixels(std::string(6, '\x7F') + Le({0, 0, 0, 0}))
                               .File();
  std::istringstream in("prefix" + file + "next");
  in.seekg(6);
  TBitmap bitmap;
  bitmap.LoadFromStream(in);
  EXPECT_EQ(Indexes(bitmap), "0");
  std::string rest;
  in >> rest;
  EXPECT_EQ(rest, "next");
}

// A stream that can neither seek nor tell, like a pipe.
class PipeBuf : public std::streambuf {
 public:
  explicit PipeBuf(std::string data) : data_(std::move(data)) {
    setg(data_.data(), data_.data(), data_.data() + data_.size());
  }

 private:
  std::string data_;
};

TEST(BmpRead, StreamsThatCannotSeek) {
  const std::vector<std::pair<std::string, Colour>> files = {
      {BmpFields().Size(2, 1).Pixels(Le({1, 2, 3, 4, 5, 6, 0, 0})).File(), {3, 2, 1}},
      {BmpFields()
           .Size(2, 2)
           .Bits(8)
           .Compression(1)
           .Palette(Greys(3))
           .Pixels(Le({2, 1, 0, 0, 1, 2, 0, 1}))
           .File(),
       Colour{255, 0, 0}}};
  for (const auto& [file, topLeft] : files) {
    TBitmap bitmap;
    PipeBuf whole(file);
    std::istream in(&whole);
    bitmap.LoadFromStream(in);
    EXPECT_EQ(bmptest::Rgb(bitmap, 0, 0), topLeft);
    PipeBuf cut(file.substr(0, file.size() - 1));
    std::istream cutIn(&cut);
    EXPECT_THROW(bitmap.LoadFromStream(cutIn), EInvalidGraphic);
  }
}

TEST(BmpRead, RowsWiderThanTheReadersPiecesComeOutWhole) {
  // The reader takes rows 4096 pixels at a time; these rows end in a partial piece and padding.
  for (const TPixelFormat format : {TPixelFormat::pf8bit, TPixelFormat::pf24bit}) {
    TBitmap wide;
    wide.Clear(format);
    wide.SetSize(2 * 4096 + 13, 2);
    if (format == TPixelFormat::pf8bit) wide.SetPalette(Greys(256));
    for (int y = 0; y < 2; ++y)
      for (std::size_t i = 0; i < TBitmap::StrideFor(wide.GetWidth(), format); ++i)
        wide.ScanLine(y)[i] = static_cast<std::uint8_t>(i * 131 + i / 7 + y);
    TBitmap loaded;
    bmptest::Load(loaded, bmptest::Save(wide));
    bmptest::ExpectSamePicture(wide, loaded);
  }
}

TEST(BmpRead, RowsFromAStreamThatCannotTellItsLengthCostNoMoreThanThePicture) {
  // A 32-bit row of ten million pixels takes 40 MB in the file and 30 MB in the bitmap; the stream ends
  // after four bytes, which only reading can find out.
  constexpr int kWidth = 10'000'000;
  PipeBuf buffer(BmpFields().Size(kWidth, 1).Bits(32).Pixels("data").File());
  std::istream in(&buffer);
  TBitmap bitmap;
  bmptest::ResetLargestAllocation();
  EXPECT_THROW(bitmap.LoadFromStream(in), EInvalidGraphic);
  // The picture itself (plus its shared pointer's bookkeeping) is the largest thing allocated.
  EXPECT_LT(bmptest::LargestAllocation(), TBitmap::StrideFor(kWidth, TPixelFormat::pf24bit) + 1024);
}

TEST(BmpRead, RunLengthEightBits) {
  // Rows from the bottom: a run and an odd literal run (padded), a run and a jump, one pixel, a full row.
  const std::string rle = Le({3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 2, 9, 0, 2, 1, 1, 1, 5, 0, 0, 6, 4, 0, 1});
  const TBitmap& bitmap =
      Loaded(BmpFields().Size(6, 4).Bits(8).Compression(1).Palette(Greys(10)).Pixels(rle));
  EXPECT_EQ(bitmap.GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(Indexes(bitmap), "4 4 4 4 4 4/0 0 0 5 0 0/9 9 0 0 0 0/7 7 7 1 2 3");
  // Runs that cover the row padding, as ImageMagick writes them: the padding pixels are dropped. Colours
  // beyond the table get black entries.
  const TBitmap& padded =
      Loaded(BmpFields().Size(3, 1).Bits(8).Compression(1).Palette(Greys(2)).Pixels(Le({4, 7, 0, 1})));
  EXPECT_EQ(Indexes(padded), "7 7 7");
  EXPECT_EQ(padded.GetPalette().size(), 8u);
  EXPECT_EQ(Indexes(Loaded(BmpFields().Size(3, 1).Bits(8).Compression(1).Palette(Greys(10)).Pixels(
                Le({1, 2, 0, 3, 3, 4, 5, 0, 0, 1})))),
            "2 3 4");
}

TEST(BmpRead, RunLengthFourBits) {
  // Alternating nibbles in a run; literal runs of five nibbles (three bytes, padded) and of three.
  const std::string rle = Le({2, 0xAB, 0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 0, 3, 0x67, 0x80, 3, 0xCD, 0, 1});
  EXPECT_EQ(Indexes(Loaded(BmpFields().Size(7, 2).Bits(4).Compression(2).Palette(Greys(16)).Pixels(rle))),
            "6 7 8 12 13 12 0/10 11 1 2 3 4 5");
  // Four-bit rows pad to eight pixels.
  EXPECT_EQ(Indexes(Loaded(BmpFields().Size(3, 1).Bits(4).Compression(2).Palette(Greys(16)).Pixels(
                Le({8, 0x12, 0, 1})))),
            "1 2 1");
}

}  // namespace
}  // namespace lumora
