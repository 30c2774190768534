// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged and hostile files: each one is refused with the toolkit's exceptions, without reading outside any
// buffer or allocating what the header claims, and the bitmap keeps the picture it had.

#include <gtest/gtest.h>

#include "toolkit/exceptions.h"
#include "unit/bitmap/bmp_test_support.h"

namespace lumora {
namespace {

using bmptest::BmpFields;
using bmptest::Le;

class BmpDamaged : public testing::Test {
 protected:
  void SetUp() override {
    reference_.Clear(TPixelFormat::pf8bit);
    reference_.SetSize(3, 2);
    reference_.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}});
    reference_.ScanLine(1)[2] = 1;
    bitmap_.OnChange = [this](TGraphic&) { ++changes_; };
    bmptest::Load(bitmap_, bmptest::Save(reference_));
    ASSERT_EQ(changes_, 1);
  }

  // Loads bytes that must fail with E, then checks that the previous picture is untouched.
  template <typename E>
  void ExpectRefused(const std::string& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    try {
      bmptest::Load(bitmap_, bytes);
      ADD_FAILURE() << "loaded";
    } catch (const E& e) {
      if (std::is_same_v<E, EInvalidGraphic>) {
        EXPECT_EQ(std::string(e.what()).rfind("Bitmap image is not valid: ", 0), 0u) << e.what();
      }
    }
    bmptest::ExpectSamePicture(reference_, bitmap_);
    EXPECT_EQ(changes_, 1) << "no change event for a failed load";
  }

  TBitmap reference_;
  TBitmap bitmap_;
  int changes_ = 0;
};

TEST_F(BmpDamaged, TruncatedAtEveryLength) {
  const TPalette palette = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
  const std::vector<std::string> files = {
      BmpFields().Size(3, 2).Pixels(std::string(24, '\x11')).File(),
      BmpFields().Size(5, 3).Bits(8).ColorsUsed(3).Palette(palette).Pixels(std::string(24, '\x01')).File(),
      BmpFields()
          .Size(3, 2)
          .Bits(16)
          .Compression(3)
          .Masks({0xF800, 0x07E0, 0x001F})
          .Pixels(std::string(16, '3'))
          .File(),
      BmpFields().HeaderSize(12).Size(2, 2).Bits(4).Palette(TPalette(16)).Pixels(std::string(8, '\0')).File(),
      BmpFields()
          .Size(5, 2)
          .Bits(4)
          .Compression(2)
          .Palette(palette)
          .Pixels(Le({5, 0x12, 0, 0, 0, 3, 0x21, 0x20, 0, 1}))
          .File(),
  };
  for (const std::string& file : files) {
    TBitmap whole;
    bmptest::Load(whole, file);  // the complete file is fine
    for (std::size_t length = 0; length < file.size(); ++length) {
      ExpectRefused<EInvalidGraphic>(file.substr(0, length), "cut to " + std::to_string(length));
    }
  }
}

TEST_F(BmpDamaged, InconsistentHeaders) {
  const std::string pixels(8, '\0');
  const std::vector<std::pair<const char*, BmpFields>> cases = {
      {"header size 64", BmpFields().HeaderSize(64)},
      {"header size 16", BmpFields().HeaderSize(16)},
      {"zero width", BmpFields().Size(0, 1)},
      {"negative width", BmpFields().Size(-4, 1)},
      {"zero height", BmpFields().Size(1, 0)},
      {"most negative height", BmpFields().Size(1, INT32_MIN)},
      {"2 bits", BmpFields().Bits(2)},
      {"0 bits", BmpFields().Bits(0)},
      {"64 bits", BmpFields().Bits(64)},
      {"16 bits in an OS/2 header", BmpFields().HeaderSize(12).Bits(16)},
      {"JPEG inside", BmpFields().Compression(4)},
      {"PNG inside", BmpFields().Compression(5)},
      {"unknown compression", BmpFields().Compression(0xFFFFFFFF)},
      {"RLE8 on 4 bits", BmpFields().Bits(4).Compression(1)},
      {"RLE4 on 8 bits", BmpFields().Bits(8).Compression(2)},
      {"masks on 24 bits", BmpFields().Compression(3).Masks({1, 2, 4})},
      {"top-down RLE", BmpFields().Size(1, -1).Bits(8).Compression(1)},
      {"offset past the end", BmpFields().PixelOffset(0xFFFFFFFF)},
      {"offset just past the end", BmpFields().PixelOffset(14 + 40 + 8 + 1)},
      {"offset inside the header", BmpFields().PixelOffset(20)},
  };
  for (auto [what, fields] : cases) ExpectRefused<EInvalidGraphic>(fields.Pixels(pixels).File(), what);
  ExpectRefused<EInvalidGraphic>("BA" + BmpFields().Pixels(pixels).File().substr(2), "magic");
  ExpectRefused<EInvalidGraphic>("", "empty");
}

TEST_F(BmpDamaged, HugePicturesAreRefusedBeforeAllocating) {
  const std::vector<std::pair<const char*, BmpFields>> tooLarge = {
      {"60000 x 60000", BmpFields().Size(60000, 60000)},
      {"60000 x 60000 top-down", BmpFields().Size(60000, -60000).Bits(32)},
      {"60000 x 60000 RLE", BmpFields().Size(60000, 60000).Bits(8).Compression(1).Pixels(Le({0, 1}))},
      {"widest", BmpFields().Size(INT32_MAX, 1).Bits(32)},
      {"tallest", BmpFields().Size(1, INT32_MAX).Bits(1)},
      {"OS/2 65535 x 65535", BmpFields().HeaderSize(12).Size(65535, 65535)},
  };
  for (const auto& [what, fields] : tooLarge) {
    bmptest::ResetLargestAllocation();
    ExpectRefused<EOutOfResources>(fields.File(), what);
    EXPECT_LT(bmptest::LargestAllocation(), std::size_t{1} << 20) << what;
  }
  // Within limits but with hardly any pixel data, or run-length data that breaks off: that shows before
  // 256 MB are set aside.
  for (const BmpFields& fields :
       {BmpFields().Size(16000, 16000).Bits(8).Pixels("data"),
        BmpFields().Size(16000, 16000).Bits(8).Compression(1).Pixels(Le({200, 1, 0, 0}))}) {
    bmptest::ResetLargestAllocation();
    ExpectRefused<EInvalidGraphic>(fields.File(), "16000 x 16000");
    EXPECT_LT(bmptest::LargestAllocation(), std::size_t{1} << 20);
  }
}

// Rows of three pixels are stored in four bytes: runs may cover the padding byte, never more.
TEST_F(BmpDamaged, RunLengthDataLeavingThePicture) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"run too long", Le({5, 1, 0, 1})},
      {"run after a full row", Le({4, 1, 1, 1, 0, 1})},
      {"literal run too long", Le({0, 5, 1, 2, 3, 4, 5, 0, 0, 1})},
      {"jump past the right edge", Le({0, 2, 5, 0, 0, 1})},
      {"jump past the top", Le({0, 2, 0, 3, 0, 1})},
      {"pixels above the top row", Le({0, 0, 0, 0, 1, 1, 0, 1})},
      {"rows beyond the top", Le({0, 0, 0, 0, 0, 0, 0, 1})},
      {"no end of bitmap", Le({4, 1, 0, 0, 4, 2, 0, 0})},
  };
  for (const auto& [what, data] : cases) {
    ExpectRefused<EInvalidGraphic>(
        BmpFields().Size(3, 2).Bits(8).Compression(1).Palette(TPalette(2)).Pixels(data).File(), what);
  }
}

}  // namespace
}  // namespace lumora
