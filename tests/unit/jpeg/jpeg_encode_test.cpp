// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding checked against cjpeg: the same codec given the same settings (quality 90, float DCT,
// standard tables, simple progression for MultiScan) must write the very same file.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "jpeg/jpeg_image.h"
#include "unit/jpeg/jpeg_test_support.h"

namespace lumora::jpeg_test {
namespace {

bool HasMarker(const std::string& jpeg, unsigned char code) {
  return jpeg.find(std::string{'\xFF', static_cast<char>(code)}) != std::string::npos;
}

class JpegEncode : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HavePeers()) GTEST_SKIP() << "cjpeg, djpeg or ImageMagick missing";
  }
  std::string Cjpeg(const TBitmap& bitmap, bool progressive) {
    WritePpm(dir_ / "in.ppm", bitmap);
    EXPECT_EQ(Shell(std::string("cjpeg -quality 90 -dct float ") + (progressive ? "-progressive " : "") +
                    "-outfile " + Quote(dir_ / "c.jpg") + " " + Quote(dir_ / "in.ppm")),
              0);
    return ReadFile(dir_ / "c.jpg");
  }
  Scratch dir_;
};

TEST_F(JpegEncode, WritesWhatCjpegWritesForTheSamePixels) {
  const struct {
    int width, height;
    bool eightBit, progressive;
  } cases[] = {{61, 47, false, false}, {61, 47, false, true}, {37, 23, true, false},
               {1, 1, false, false},   {29, 1, false, true},  {1, 29, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + (c.eightBit ? " 8-bit" : "") +
                 (c.progressive ? " progressive" : ""));
    TBitmap bitmap;
    FillTestBitmap(bitmap, c.width, c.height);
    if (c.eightBit) bitmap.SetPixelFormat(TPixelFormat::pf8bit);
    TJPEGImage image;
    image.SetMultiScan(c.progressive);
    image.Assign(bitmap);
    const std::string ours = Saved(image);
    EXPECT_EQ(ours, Cjpeg(bitmap, c.progressive));
    EXPECT_TRUE(HasMarker(ours, c.progressive ? 0xC2 : 0xC0));
    EXPECT_EQ(image.Data().Width, c.width);
    EXPECT_EQ(image.Data().Height, c.height);
    // The picture the image holds is not converted for encoding.
    EXPECT_EQ(image.DecodedBitmap().GetPixelFormat(), bitmap.GetPixelFormat());
  }
}

TEST_F(JpegEncode, ProgressiveFileGivenABitmapIsSavedProgressive) {
  WritePpm(dir_ / "p.ppm", 40, 30);
  ASSERT_EQ(Shell("cjpeg -progressive -outfile " + Quote(dir_ / "p.jpg") + " " + Quote(dir_ / "p.ppm")), 0);
  TJPEGImage image;
  image.LoadFromFile((dir_ / "p.jpg").string());
  TBitmap bitmap;
  FillTestBitmap(bitmap, 50, 20);
  image.Assign(bitmap);
  const std::string ours = Saved(image);
  EXPECT_TRUE(HasMarker(ours, 0xC2));
  EXPECT_FALSE(HasMarker(ours, 0xC0));
  EXPECT_EQ(ours, Cjpeg(bitmap, true));
}

TEST_F(JpegEncode, DjpegGetsThePictureBackWithinQuality90Error) {
  TBitmap bitmap;
  FillTestBitmap(bitmap, 256, 192, /*smooth=*/true);
  TJPEGImage image;
  image.Assign(bitmap);
  image.SaveToFile((dir_ / "ours.jpg").string());
  ASSERT_EQ(Shell("djpeg -bmp -outfile " + Quote(dir_ / "back.bmp") + " " + Quote(dir_ / "ours.jpg")), 0);
  const Picture back = ReadBmp(dir_ / "back.bmp");
  const Picture sent = FromBitmap(bitmap);
  ASSERT_EQ(back.height, sent.height);
  double squared = 0;
  std::size_t samples = 0;
  for (int y = 0; y < sent.height; ++y)
    for (std::size_t i = 0; i < sent.rows[y].size(); ++i, ++samples) {
      const double d = double(sent.rows[y][i]) - back.rows[y][i];
      squared += d * d;
    }
  const double psnr = 10 * std::log10(255.0 * 255.0 * samples / std::max(squared, 1e-9));
  EXPECT_GT(psnr, 35.0);
  EXPECT_LT(psnr, 60.0) << "suspiciously lossless for quality 90";
}

TEST_F(JpegEncode, EmptyBitmapsSaveNothing) {
  for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}}) {
    TBitmap bitmap;
    bitmap.SetSize(w, h);
    TJPEGImage image;
    image.Assign(bitmap);
    EXPECT_TRUE(image.GetEmpty());
    EXPECT_EQ(Saved(image), "");
  }
}

TEST_F(JpegEncode, AbortFromProgressDiscardsTheBytesOtherErrorsPropagate) {
  TBitmap bitmap;
  FillTestBitmap(bitmap, 300, 200);
  TJPEGImage clean;
  clean.SetMultiScan(true);
  clean.Assign(bitmap);
  const std::string full = Saved(clean);

  // psStarting comes from the image itself, psRunning from inside the codec.
  for (TProgressStage failAt : {TProgressStage::psStarting, TProgressStage::psRunning}) {
    TJPEGImage image;
    image.SetMultiScan(true);  // progressive output makes the codec report many passes
    image.Assign(bitmap);
    std::uint32_t now = 0;
    image.TickCount = [&] { return now += 600; };
    std::vector<TProgressStage> stages;
    bool abort = true;
    image.OnProgress = [&](TGraphic&, TProgressStage stage, std::uint8_t percent, bool redraw,
                           const TRect& rect, const std::string&) {
      stages.push_back(stage);
      EXPECT_TRUE(rect.Width() == 0 && rect.Height() == 0 && !redraw);
      if (stage == TProgressStage::psEnding) {
        EXPECT_EQ(percent, 0);
      }
      // Half way through, the codec has handed over some of the file already.
      if (stage != failAt || (stage == TProgressStage::psRunning && percent < 50)) return;
      if (abort) throw EAbort();
      throw EConvertError("handler failed");
    };
    EXPECT_EQ(Saved(image), "");
    EXPECT_FALSE(image.Data().HasBytes());
    EXPECT_EQ(stages.back(), TProgressStage::psEnding);

    abort = false;
    EXPECT_THROW(Saved(image), EConvertError);
    image.OnProgress = nullptr;
    image.Assign(bitmap);
    EXPECT_EQ(Saved(image), full);
  }
}

}  // namespace
}  // namespace lumora::jpeg_test
