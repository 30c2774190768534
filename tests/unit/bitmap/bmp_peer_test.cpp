// SPDX-License-Identifier: GPL-3.0-or-later
// BMP files exchanged with ImageMagick, the reference every other program is measured by: we read what it
// writes in each of its BMP flavours exactly as it reads them itself, and it reads what we write.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "unit/bitmap/bmp_test_support.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
constexpr const char* kConvert = "/usr/bin/convert";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Peer : public testing::Test {
 protected:
  void SetUp() override {
    if (access(kConvert, X_OK) != 0) GTEST_SKIP() << kConvert << " is not installed";
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised names hold slashes
    dir_ = fs::path(testing::TempDir()) / ("lumora_bmp_" + std::to_string(getpid()) + "_" + name);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }

  void Convert(const std::string& args) {
    const std::string command = std::string(kConvert) + " " + args + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // ImageMagick's view of a picture file: red, green, blue bytes, top row first.
  std::string Pixels(const fs::path& file) {
    Convert(file.string() + " -depth 8 rgb:" + (dir_ / "pixels.rgb").string());
    return ReadFile(dir_ / "pixels.rgb");
  }

  // Noise on the left (many colours, literal runs), flat bands on the right (long runs); odd width.
  fs::path Source() {
    std::string ppm = "P6\n23 11\n255\n";
    std::uint32_t seed = 12345;
    for (int y = 0; y < 11; ++y) {
      for (int x = 0; x < 23; ++x) {
        for (int c = 0; c < 3; ++c) {
          seed = seed * 1103515245 + 12345;
          ppm += static_cast<char>(x < 9 ? seed >> 16 : y / 3 * 70 + c * 40);
        }
      }
    }
    std::ofstream(dir_ / "source.ppm", std::ios::binary) << ppm;
    return dir_ / "source.ppm";
  }

  static void ExpectPixels(const TBitmap& bitmap, const std::string& reference) {
    std::string ours;
    for (int y = 0; y < bitmap.GetHeight(); ++y) {
      for (int x = 0; x < bitmap.GetWidth(); ++x) {
        const auto rgb = bmptest::Rgb(bitmap, x, y);
        ours.append(rgb.begin(), rgb.end());
      }
    }
    ASSERT_EQ(ours.size(), reference.size());
    const auto [mine, theirs] = std::mismatch(ours.begin(), ours.end(), reference.begin());
    EXPECT_TRUE(mine == ours.end()) << "pixel " << (mine - ours.begin()) / 3 << " differs";
  }

  fs::path dir_;
};

struct Flavour {
  const char* name;
  const char* options;  // ending in the output coder
  std::uint32_t headerSize;
  unsigned bits;
  std::uint32_t compression;
};

void PrintTo(const Flavour& flavour, std::ostream* out) {
  *out << flavour.name;
}

class PeerFlavour : public Peer, public testing::WithParamInterface<Flavour> {};

TEST_P(PeerFlavour, ReadsItLikeImageMagickDoes) {
  const Flavour f = GetParam();
  const fs::path bmp = dir_ / "picture.bmp";
  Convert(Source().string() + " " + f.options + bmp.string());
  const std::string file = ReadFile(bmp);
  // Make sure ImageMagick wrote the variant this case is about.
  ASSERT_GT(file.size(), 34u);
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(file[i]); };
  ASSERT_EQ(byte(14), f.headerSize);
  ASSERT_EQ(byte(f.headerSize == 12 ? 24 : 28), f.bits);
  if (f.headerSize != 12) {
    ASSERT_EQ(byte(30), f.compression);
  }

  TBitmap bitmap;
  bmptest::Load(bitmap, file);
  EXPECT_EQ(bitmap.GetWidth(), 23);
  EXPECT_EQ(bitmap.GetPixelFormat(), f.bits <= 8 ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
  ExpectPixels(bitmap, Pixels(bmp));
}

#define HALF_ALPHA "-alpha set -channel A -evaluate set 50% +channel "
INSTANTIATE_TEST_SUITE_P(
    ImageMagick, PeerFlavour,
    testing::Values(Flavour{"Rgb24", "BMP3:", 40, 24, 0}, Flavour{"Os2Rgb24", "BMP2:", 12, 24, 0},
                    Flavour{"Palette8", "-type Palette -colors 200 -compress None BMP3:", 40, 8, 0},
                    Flavour{"Palette4", "-type Palette -colors 12 -compress None BMP3:", 40, 4, 0},
                    Flavour{"Palette1", "-colors 2 -type Palette -compress None BMP3:", 40, 1, 0},
                    Flavour{"Os2Palette8", "-type Palette -colors 200 BMP2:", 12, 8, 0},
                    Flavour{"Os2Palette4", "-type Palette -colors 16 BMP2:", 12, 4, 0},
                    Flavour{"Grey8", "-colorspace Gray -type Palette -compress None BMP3:", 40, 8, 0},
                    Flavour{"Rle8", "-type Palette -colors 200 -compress RLE BMP3:", 40, 8, 1},
                    Flavour{"Rgb565", "-define bmp:subtype=RGB565 BMP:", 124, 16, 3},
                    Flavour{"Rgb555", "-define bmp:subtype=RGB555 BMP:", 124, 16, 3},
                    Flavour{"Argb32", HALF_ALPHA "BMP:", 124, 32, 3},
                    Flavour{"Rgba32Plain", HALF_ALPHA "-define bmp3:alpha=true BMP3:", 40, 32, 0},
                    Flavour{"Rgb24V5", "BMP:", 124, 24, 0}),
    [](const testing::TestParamInfo<Flavour>& flavour) { return std::string(flavour.param.name); });

TEST_F(Peer, ImageMagickReadsWhatWeWrite) {
  TBitmap bitmap;
  bitmap.SetSize(13, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 13 * 3; ++x) bitmap.ScanLine(y)[x] = static_cast<std::uint8_t>(x * 17 + y * 50);
  }
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf8bit}) {
    bitmap.SetPixelFormat(format);
    std::ofstream(dir_ / "ours.bmp", std::ios::binary) << bmptest::Save(bitmap);
    ExpectPixels(bitmap, Pixels(dir_ / "ours.bmp"));
  }
}

}  // namespace
}  // namespace lumora
