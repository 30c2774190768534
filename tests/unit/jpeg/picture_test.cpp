// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures pick their graphic kind by the file's extension, whatever its case.
#include "toolkit/picture.h"

#include <gtest/gtest.h>

#include "jpeg/jpeg_file_formats.h"
#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "unit/jpeg/jpeg_test_support.h"

namespace lumora::jpeg_test {
namespace {

class Picture : public ::testing::Test {
 protected:
  void SetUp() override {
    TBitmap bitmap;
    FillTestBitmap(bitmap, 40, 30);
    bitmap.SaveToFile((dir_ / "p.bmp").string());
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    jpeg.SaveToFile((dir_ / "p.jpg").string());
    WriteFile(dir_ / "P.JPEG", ReadFile(dir_ / "p.jpg"));
    WriteFile(dir_ / "fake.jpg", "this is no picture");
    WriteFile(dir_ / "p.png", "whatever");
  }
  std::string At(const char* name) const { return (dir_ / name).string(); }
  Scratch dir_;
};

TEST_F(Picture, ExtensionChoosesTheGraphicKindIgnoringCase) {
  const JpegFileFormats registered;
  TPicture picture;
  picture.LoadFromFile(At("p.bmp"));
  EXPECT_NE(dynamic_cast<TBitmap*>(picture.GetGraphic()), nullptr);
  picture.LoadFromFile(At("P.JPEG"));
  EXPECT_NE(dynamic_cast<TJPEGImage*>(picture.GetGraphic()), nullptr);
  EXPECT_EQ(picture.GetWidth(), 40);
  EXPECT_EQ(picture.GetHeight(), 30);
  EXPECT_EQ(TPicture::FileFormatDescription("JPG"), "JPEG Image File");
}

TEST_F(Picture, FailuresKeepWhatThePictureHeld) {
  const JpegFileFormats registered;
  TPicture picture;
  picture.LoadFromFile(At("p.jpg"));
  TGraphic* held = picture.GetGraphic();
  try {
    picture.LoadFromFile(At("p.png"));
    FAIL() << "a PNG has no registered kind";
  } catch (const EInvalidGraphic& error) {
    EXPECT_EQ(error.Message(), "Unknown picture file extension (.png)");
  }
  EXPECT_THROW(picture.LoadFromFile(At("fake.jpg")), EJPEG);
  EXPECT_THROW(picture.LoadFromFile(At("missing.bmp")), EFOpenError);
  EXPECT_EQ(picture.GetGraphic(), held);
}

TEST_F(Picture, JpegFilesAreKnownOnlyWhileRegistered) {
  { const JpegFileFormats registered; }
  TPicture picture;
  EXPECT_THROW(picture.LoadFromFile(At("p.jpg")), EInvalidGraphic);
  EXPECT_TRUE(TPicture::FileFormatDescription("jpg").empty());
  picture.LoadFromFile(At("p.bmp"));  // bitmaps need no registration
  EXPECT_EQ(picture.GetWidth(), 40);
}

}  // namespace
}  // namespace lumora::jpeg_test
