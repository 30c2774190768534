// SPDX-License-Identifier: GPL-3.0-or-later
// The image's own bookkeeping: stored data, sharing, palettes, defaults and progress reports.

#include "jpeg/jpeg_image.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "unit/jpeg/jpeg_test_support.h"

namespace lumora::jpeg_test {
namespace {

// Colour JPEG files made by cjpeg: "a" 64x48, "b" 33x20, "big" 640x480.
class JpegImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HavePeers()) return;
    dir_ = std::make_unique<Scratch>();
    for (auto [name, w, h] :
         {std::tuple{"a", 64, 48}, std::tuple{"b", 33, 20}, std::tuple{"big", 640, 480}}) {
      WritePpm(*dir_ / "s.ppm", w, h);
      Shell("cjpeg -outfile " + Quote(File(name)) + " " + Quote(*dir_ / "s.ppm"));
    }
  }
  static void TearDownTestSuite() { dir_.reset(); }
  void SetUp() override {
    if (!dir_) GTEST_SKIP() << "cjpeg, djpeg or ImageMagick missing";
  }
  static Path File(const std::string& name) { return *dir_ / (name + ".jpg"); }
  static void Load(TJPEGImage& image, const std::string& name) { image.LoadFromFile(File(name).string()); }

  static std::unique_ptr<Scratch> dir_;
};
std::unique_ptr<Scratch> JpegImage::dir_;

TEST_F(JpegImage, EmptyStreamGivesAnEmptyImageWithoutTheCodec) {
  TJPEGImage image;
  Load(image, "a");
  std::istringstream empty;
  image.LoadFromStream(empty);  // the codec would call empty input an error
  EXPECT_TRUE(image.GetEmpty());
  EXPECT_EQ(image.GetWidth() + image.GetHeight(), 0);
  EXPECT_TRUE(image.DecodedBitmap().GetEmpty());
  EXPECT_EQ(Saved(image), "");
}

TEST_F(JpegImage, LoadingTakesTheRestOfTheStreamAndParsesOnlyTheHeader) {
  TJPEGImage image;
  int changes = 0;
  image.OnChange = [&](TGraphic&) { ++changes; };
  std::istringstream in("prefix" + ReadFile(File("b")));
  in.seekg(6);
  image.LoadFromStream(in);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(image.GetWidth(), 33);
  EXPECT_EQ(image.GetHeight(), 20);
  EXPECT_FALSE(image.GetMultiScan());
  EXPECT_EQ(Saved(image), ReadFile(File("b")));

  image.DecodedBitmap();
  Load(image, "a");  // the old picture goes with the old file
  EXPECT_EQ(image.DecodedBitmap().GetWidth(), 64);
}

TEST_F(JpegImage, StoredFormIsALittleEndianLengthThenTheFile) {
  const std::string file = ReadFile(File("b"));
  const std::string length{char(file.size() & 0xFF), char(file.size() >> 8 & 0xFF), 0, 0};
  TJPEGImage image;
  std::istringstream in(length + file + "TAIL");
  image.ReadData(in);
  EXPECT_EQ(image.GetWidth(), 33);
  std::string rest;
  in >> rest;
  EXPECT_EQ(rest, "TAIL");  // what follows in the stream is not ours
  std::ostringstream out;
  image.WriteData(out);
  EXPECT_EQ(out.str(), length + file);

  TBitmap bitmap;  // writing the stored form never encodes
  FillTestBitmap(bitmap, 8, 8);
  TJPEGImage bitmapOnly;
  bitmapOnly.Assign(bitmap);
  std::ostringstream none;
  bitmapOnly.WriteData(none);
  EXPECT_EQ(none.str(), std::string(4, '\0'));

  for (const std::string& broken :
       {length + file.substr(0, 100), std::string("\x10\x00", 2), std::string(4, '\xFF')}) {
    std::istringstream s(broken);
    try {
      image.ReadData(s);
      ADD_FAILURE() << "read " << broken.size() << " bytes";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), "Stream read error");
    }
  }
}

TEST_F(JpegImage, CopiesShareTheFileAndOutliveTheOriginal) {
  auto original = std::make_unique<TJPEGImage>();
  Load(*original, "a");
  TJPEGImage copy, b;
  copy.Assign(*original);
  Load(b, "b");
  EXPECT_EQ(&copy.Data(), &original->Data());
  EXPECT_TRUE(copy.Equals(*original));
  EXPECT_FALSE(copy.Equals(b));
  TBitmap fromOriginal;
  fromOriginal.Assign(*original);
  EXPECT_FALSE(copy.Equals(fromOriginal));
  original.reset();
  EXPECT_EQ(Difference(FromBitmap(fromOriginal), FromBitmap(copy.DecodedBitmap())), "");

  // A decoded picture travels with the copy, so the copy does not decode again.
  TJPEGImage second;
  int events = 0;
  second.OnProgress = [&](auto&&...) { ++events; };
  second.Assign(copy);
  EXPECT_EQ(Difference(FromBitmap(fromOriginal), FromBitmap(second.DecodedBitmap())), "");
  EXPECT_EQ(events, 0);

  // Images holding only bitmaps are equal only when sharing; encoding one must not fill the other's record.
  TJPEGImage painted, sharer;
  painted.Assign(fromOriginal);
  sharer.Assign(fromOriginal);
  EXPECT_FALSE(painted.Equals(sharer));
  sharer.Assign(painted);
  EXPECT_TRUE(painted.Equals(sharer));
  Saved(painted);
  EXPECT_FALSE(sharer.Data().HasBytes());
}

TEST_F(JpegImage, SizeCannotBeChanged) {
  TJPEGImage image;
  Load(image, "a");
  for (auto set : {&TJPEGImage::SetWidth, &TJPEGImage::SetHeight}) {
    try {
      (image.*set)(10);
      ADD_FAILURE() << "resized";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message(), "Cannot change the size of a JPEG image");
    }
  }
  EXPECT_EQ(image.GetWidth(), 64);
}

TEST_F(JpegImage, ScreenDepthDecidesDepthAndPalettes) {
  struct Restore {
    ~Restore() { SetJpegScreenDepth(24); }
  } restore;
  SetJpegScreenDepth(8);
  TJPEGImage image;
  EXPECT_EQ(image.GetOutputBits(), 8);
  Load(image, "a");
  EXPECT_EQ(image.DecodedBitmap().GetPixelFormat(), TPixelFormat::pf8bit);

  TJPEGImage truecolour;  // 24-bit pictures on a palette screen get a halftone palette, made once
  truecolour.SetOutputBits(24);
  const TPaletteHandle halftone = truecolour.GetPalette();
  ASSERT_TRUE(halftone);
  EXPECT_EQ(truecolour.GetPalette(), halftone);
  EXPECT_EQ(halftone->size(), 236u);
  EXPECT_EQ(halftone->at(215), (TPaletteEntry{255, 255, 255, 0}));

  // A palette with other colours drops the decoded picture; the same colours, or the same handle, do not.
  int changes = 0;
  image.OnChange = [&](TGraphic&) { ++changes; };
  image.SetPalette(std::make_shared<const TPalette>(image.DecodedBitmap().GetPalette()));
  EXPECT_EQ(changes, 0);
  image.SetPalette(halftone);
  image.SetPalette(halftone);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(image.DecodedBitmap().GetPalette(), *halftone);

  for (int depth : {15, 16, 32}) {
    SetJpegScreenDepth(depth);
    TJPEGImage other;
    EXPECT_EQ(other.GetOutputBits(), 24) << depth;
    EXPECT_EQ(other.GetPalette(), nullptr) << depth;
  }
}

struct Report {
  TProgressStage stage;
  int percent;
  bool redraw;
  TRect rect;
  std::uint32_t tick;
};

// Decodes "big" with a clock that moves step milliseconds per read, recording every report.
std::vector<Report> DecodeWatched(TJPEGImage& image, std::uint32_t start, std::uint32_t step, int* reads) {
  std::vector<Report> reports;
  auto now = std::make_shared<std::uint32_t>(start);
  image.TickCount = [=] {
    ++*reads;
    return *now += step;
  };
  image.OnProgress = [&reports, now](TGraphic&, TProgressStage stage, std::uint8_t percent, bool redraw,
                                     const TRect& rect, const std::string& message) {
    EXPECT_EQ(message, "");
    reports.push_back({stage, percent, redraw, rect, *now});
  };
  image.DecodedBitmap();
  return reports;
}

TEST_F(JpegImage, ProgressIsThrottledToOneReportPer500ms) {
  for (std::uint32_t start : {0u, 0xFFFFF000u}) {  // also across the tick counter's wrap
    SCOPED_TRACE(start);
    TJPEGImage image;
    Load(image, "big");
    int reads = 0;
    const std::vector<Report> reports = DecodeWatched(image, start, 100, &reads);
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(reports.front().stage, TProgressStage::psStarting);
    EXPECT_EQ(reports.front().percent, 0);
    EXPECT_EQ(reports.back().stage, TProgressStage::psEnding);
    EXPECT_EQ(reports.back().percent, 100);
    EXPECT_TRUE(reports.back().redraw);  // loading marked the palette as modified
    EXPECT_LE(reports.size() - 2, static_cast<std::size_t>(reads / 5));

    // Rows arrive top to bottom, each report covering the rows since the last one.
    for (std::size_t i = 1; i + 1 < reports.size(); ++i) {
      const Report& r = reports[i];
      EXPECT_EQ(r.stage, TProgressStage::psRunning);
      EXPECT_GT(r.percent, reports[i - 1].percent);
      EXPECT_TRUE(r.rect.Left == 0 && r.rect.Right == 640);
      EXPECT_EQ(r.rect.Top, i == 1 ? 0 : reports[i - 1].rect.Bottom);
      EXPECT_EQ(r.redraw, r.rect.Height() >= 4);
      if (i > 1) {
        EXPECT_GE(static_cast<std::uint32_t>(r.tick - reports[i - 1].tick), 500u);
      }
    }
  }
  TJPEGImage frozen;
  Load(frozen, "big");
  int reads = 0;
  EXPECT_EQ(DecodeWatched(frozen, 1000, 0, &reads).size(), 2u);  // starting and ending only
  EXPECT_GT(reads, 100);
}

TEST_F(JpegImage, AbortFromProgressKeepsThePartlyDecodedPictureOtherErrorsPropagate) {
  TJPEGImage reference;
  Load(reference, "big");
  const Picture full = FromBitmap(reference.DecodedBitmap());

  for (bool abort : {true, false}) {
    TJPEGImage image;
    Load(image, "big");
    std::uint32_t now = 0;
    image.TickCount = [&] { return now += 600; };
    int decodedRows = -1;
    int endPercent = -1;
    image.OnProgress = [&](TGraphic&, TProgressStage stage, std::uint8_t percent, bool, const TRect& rect,
                           const std::string&) {
      if (stage == TProgressStage::psEnding) endPercent = percent;
      if (stage != TProgressStage::psRunning || rect.Bottom < 100) return;
      decodedRows = rect.Bottom;
      if (abort) throw EAbort();
      throw EConvertError("handler failed");
    };
    TBitmap bitmap;
    if (abort) {
      ASSERT_NO_THROW(bitmap.Assign(image));
    } else {
      EXPECT_THROW(bitmap.Assign(image), EConvertError);
    }
    EXPECT_EQ(endPercent, 0);
    ASSERT_GE(decodedRows, 100);

    // The partial picture is what the image holds from now on.
    image.OnProgress = [](auto&&...) { ADD_FAILURE() << "decoded again"; };
    const Picture partial = FromBitmap(image.DecodedBitmap());
    ASSERT_EQ(partial.height, 480);
    for (int y = 0; y < decodedRows; ++y) ASSERT_EQ(partial.rows[y], full.rows[y]) << y;
    EXPECT_EQ(partial.rows[479], std::vector<std::uint8_t>(640 * 3, 0));
    EXPECT_NE(full.rows[479], partial.rows[479]);
  }
}

}  // namespace
}  // namespace lumora::jpeg_test
