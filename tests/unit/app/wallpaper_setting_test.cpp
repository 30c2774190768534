// SPDX-License-Identifier: GPL-3.0-or-later
// "设为墙纸" and the display style, through the window's controls: what reaches the wallpaper file and the
// desktop, and what the user is told.
#include <QImage>
#include <QTest>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"
#include "unit/app/form_fixture.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;

class WallpaperSetting : public FormTest {
 protected:
  // A JPEG picture of the given size, and the bitmap it decodes to.
  std::string Jpeg(const std::string& name, int width, int height, int shade = 0) {
    TBitmap bitmap;
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width * 3; ++x)
        bitmap.ScanLine(y)[x] = static_cast<std::uint8_t>(x * 7 + y * 13 + shade);
    }
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    jpeg.SaveToFile(dir_ / name);
    return dir_ / name;
  }
  // Selects the entry and presses "设为墙纸".
  void SetAsWallpaper(const std::string& entry) {
    Form().ListBox1->clear();
    form_->ListBox1->AddEntries({entry});
    form_->ListBox1->SetItemIndex(0);
    form_->Button12->click();
  }
  std::string BmpFile() { return ReadWholeFile(form_->BmpFile); }
};

TEST_F(WallpaperSetting, JpegPicturesInAnyCaseAreDecodedIntoTheWallpaperFileAndHandedOver) {
  for (const char* name : {"IMG_0001.JPG", "photo.jpeg"}) {
    SCOPED_TRACE(name);
    const std::string jpeg = Jpeg(name, 37, 23);
    SetAsWallpaper(jpeg);
    EXPECT_TRUE(messages_.Requests().empty());
    // The file holds the decoded picture, and the desktop was given exactly that file with its pixels.
    TJPEGImage decoded;
    decoded.LoadFromFile(jpeg);
    TBitmap expected;
    expected.Assign(decoded);
    TBitmap written;
    written.LoadFromFile(form_->BmpFile);
    ASSERT_EQ(written.GetWidth(), 37);
    ASSERT_EQ(written.GetHeight(), 23);
    for (int y = 0; y < 23; ++y) ASSERT_EQ(0, std::memcmp(written.ScanLine(y), expected.ScanLine(y), 37 * 3));
    ASSERT_FALSE(desktop_->wallpapers.empty());
    EXPECT_EQ(desktop_->wallpapers.back(), BmpFile());
    EXPECT_TRUE(desktop_->withPicture.back());
    EXPECT_EQ(form_->ListBox1->ItemIndex(), 0);
  }
}

TEST_F(WallpaperSetting, APortraitPhotoStandsUprightOnTheWallpaperAndInThePreview) {
  if (!ProgramAvailable("exiftool")) GTEST_SKIP() << "needs exiftool (the README's set-up installs it)";
  const std::string photo = Jpeg("portrait.jpg", 37, 23);
  ASSERT_EQ(RunProgram({"exiftool", "-q", "-overwrite_original", "-n", "-Orientation#=6", photo}).exitCode,
            0);
  SetAsWallpaper(photo);
  TBitmap written;
  written.LoadFromFile(form_->BmpFile);
  EXPECT_EQ(std::pair(written.GetWidth(), written.GetHeight()), std::pair(23, 37));
  form_->ListBox1Click();
  EXPECT_EQ(form_->Image2->size(), QSize(23, 37));
  // The preview shows the very pixels the wallpaper got.
  const QImage shown = form_->Image2->pixmap().toImage();
  ASSERT_EQ(shown.size(), QSize(23, 37));
  for (int y = 0; y < 37; ++y) {
    for (int x = 0; x < 23; ++x) {
      const std::uint8_t* bgr = written.ScanLine(y) + x * 3;
      // The stored word itself, its unused byte included (QImage::pixel would fill that in).
      ASSERT_EQ(reinterpret_cast<const QRgb*>(shown.constScanLine(y))[x], qRgb(bgr[2], bgr[1], bgr[0]))
          << x << "," << y;
    }
  }
}

// The picture just previewed reaches the wallpaper from the preview's pixels: the same file as decoding
// gives, turned or not, and never a picture the file no longer holds.
TEST_F(WallpaperSetting, APreviewedPhotoGivesTheDecodedFileAndAChangedOneIsDecodedAgain) {
  std::vector<std::string> photos{Jpeg("plain.jpg", 37, 23)};
  if (ProgramAvailable("exiftool")) {
    photos.push_back(Jpeg("turned.jpg", 37, 23));
    ASSERT_EQ(RunProgram({"exiftool", "-q", "-overwrite_original", "-n", "-Orientation#=6", photos.back()})
                  .exitCode,
              0);
  }
  for (const std::string& photo : photos) {
    SCOPED_TRACE(photo);
    SetAsWallpaper(photo);
    const std::string decoded = BmpFile();
    form_->ListBox1Click();
    form_->Button12->click();
    // (Compared as a whole: a mismatch would print two bitmaps.)
    EXPECT_TRUE(BmpFile() == decoded);
    EXPECT_TRUE(desktop_->wallpapers.back() == decoded);
    EXPECT_TRUE(desktop_->withPicture.back());
  }

  const std::string photo = photos.front();
  SetAsWallpaper(photo);
  const std::string before = BmpFile();
  form_->ListBox1Click();
  Jpeg("plain.jpg", 37, 23, 100);
  form_->Button12->click();
  const std::string afterChange = BmpFile();
  EXPECT_TRUE(afterChange != before);
  SetAsWallpaper(photo);
  EXPECT_TRUE(afterChange == BmpFile());
  EXPECT_TRUE(messages_.Requests().empty());
}

TEST_F(WallpaperSetting, BitmapsAreCopiedUnchangedAndTheWallpaperFileItselfIsAppliedAsItIs) {
  WriteWholeFile(dir_ / "Tiles.BMP", "not decoded, only copied");
  SetAsWallpaper(dir_ / "Tiles.BMP");
  EXPECT_EQ(BmpFile(), "not decoded, only copied");
  EXPECT_FALSE(desktop_->withPicture.back());
  // A real bitmap, in a form this program would not write (8 bits, a short palette): copied as it is, and
  // its pixels handed over along with it.
  TBitmap indexed;
  indexed.Clear(TPixelFormat::pf8bit);
  indexed.SetPalette({{10, 20, 30, 0}, {200, 100, 50, 0}});
  indexed.SetSize(9, 5);
  indexed.ScanLine(2)[4] = 1;
  indexed.SaveToFile(dir_ / "Dots.bmp");
  SetAsWallpaper(dir_ / "Dots.bmp");
  EXPECT_EQ(BmpFile(), ReadWholeFile(dir_ / "Dots.bmp"));
  EXPECT_TRUE(desktop_->withPicture.back());

  WriteWholeFile(form_->BmpFile, "the wallpaper file");
  fs::create_symlink(form_->BmpFile, dir_ / "link.bmp");
  SetAsWallpaper(dir_ / "link.bmp");
  SetAsWallpaper(form_->BmpFile);
  EXPECT_EQ(BmpFile(), "the wallpaper file");
  EXPECT_EQ(desktop_->wallpapers,
            std::vector<std::string>({"not decoded, only copied", ReadWholeFile(dir_ / "Dots.bmp"),
                                      "the wallpaper file", "the wallpaper file"}));
  EXPECT_TRUE(messages_.Requests().empty());
}

TEST_F(WallpaperSetting, NothingChangesForNoSelectionAMissingFileAnotherKindOrABrokenJpeg) {
  WriteWholeFile(Form().BmpFile, "previous wallpaper");
  form_->Button12->click();
  SetAsWallpaper(dir_ / "gone.jpg");
  WriteWholeFile(dir_ / "anim.gif", "GIF89a");
  SetAsWallpaper(dir_ / "anim.gif");
  WriteWholeFile(dir_ / "broken.jpg", "not a JPEG at all");
  SetAsWallpaper(dir_ / "broken.jpg");

  const std::vector<MessageRequest> shown = messages_.Requests();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(std::pair(shown[0].text, shown[0].caption),
            std::pair(std::string("请选择一个墙纸!"), std::string("消息提示")));
  EXPECT_EQ(std::pair(shown[1].text, shown[1].caption),
            std::pair(dir_ / "gone.jpg不存在!", std::string("错误提示")));
  EXPECT_EQ(std::pair(shown[2].text, shown[2].caption),
            std::pair(dir_ / "anim.gif不是JPG或BMP图片!", std::string("错误提示")));
  EXPECT_EQ(shown[3].kind, MessageKind::ErrorDisplay);
  EXPECT_EQ(shown[3].text.rfind("JPEG error #", 0), 0u) << shown[3].text;
  EXPECT_EQ(BmpFile(), "previous wallpaper");
  EXPECT_TRUE(desktop_->wallpapers.empty());
  for (const auto& entry : fs::directory_iterator(dir_.Path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

TEST_F(WallpaperSetting, AStyleButtonWritesItsPairAndRedrawsOnlyWhenItBecomesChecked) {
  desktop_->style = platform::kCentredPair;
  TForm1& form = Form();
  form.show();
  WriteWholeFile(form.BmpFile, "untouched");
  QTest::mouseClick(form.RadioButton1, Qt::LeftButton);  // already checked, and the desktop centres
  EXPECT_EQ(desktop_->styleWrites, 0);
  QTest::mouseClick(form.RadioButton2, Qt::LeftButton);
  EXPECT_EQ(desktop_->style, platform::kStretchedPair);
  form.RadioButton3->setChecked(true);  // a check by the program counts as well
  EXPECT_EQ(desktop_->style, platform::kTiledPair);
  QTest::mouseClick(form.RadioButton3, Qt::LeftButton);
  EXPECT_EQ(desktop_->styleWrites, 2);
  EXPECT_EQ(desktop_->reapplies, 2);
  EXPECT_TRUE(desktop_->wallpapers.empty());
  EXPECT_EQ(BmpFile(), "untouched");
}

// GNOME starts zoomed, and a stored "1"/"2" tiles: 居中 stays checked at start and nothing is written, yet
// a click on it centres. The same holds for any checked button once another program changed the style.
TEST_F(WallpaperSetting, TheCheckedStyleButtonSetsItsStyleWhenTheDesktopShowsAnother) {
  for (const platform::DisplayStylePair& unknown : {platform::DisplayStylePair{"", "zoom"}, {"1", "2"}}) {
    SCOPED_TRACE(unknown.tileWallPaper + "/" + unknown.wallpaperStyle);
    *desktop_ = {};
    desktop_->style = unknown;
    Rebuild();
    form_->show();
    EXPECT_TRUE(form_->RadioButton1->isChecked());
    EXPECT_EQ(desktop_->styleWrites, 0);
    QTest::mouseClick(form_->RadioButton1, Qt::LeftButton);
    EXPECT_EQ(desktop_->style, platform::kCentredPair);
    EXPECT_EQ(desktop_->styleWrites, 1);
    EXPECT_EQ(desktop_->reapplies, 1);
  }
  QTest::mouseClick(form_->RadioButton2, Qt::LeftButton);
  desktop_->style = {"", "spanned"};
  form_->RadioButton2->setFocus();
  QTest::keyClick(form_->RadioButton2, Qt::Key_Space);  // the keyboard's click alike
  EXPECT_EQ(desktop_->style, platform::kStretchedPair);
  EXPECT_EQ(desktop_->styleWrites, 3);
  EXPECT_TRUE(form_->RadioButton2->isChecked());
}

// plasmashell not running: the user reads that the desktop did not answer, and the buttons show the style
// the desktop still has. A desktop that answers with a refusal leaves them alike, with its own words.
TEST_F(WallpaperSetting, AStyleTheDesktopDidNotTakeLeavesTheButtonsAsTheyWere) {
  desktop_->style = platform::kStretchedPair;
  TForm1& form = Form();
  form.show();
  ASSERT_TRUE(form.RadioButton2->isChecked());
  const int writes = desktop_->styleWrites;
  const int reapplies = desktop_->reapplies;
  desktop_->styleFailure = "silent";
  QTest::mouseClick(form.RadioButton3, Qt::LeftButton);
  auto shown = messages_.Requests();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "桌面(recording)没有应答,墙纸显示方式没有改变!");
  EXPECT_EQ(shown[0].caption, "错误提示");
  EXPECT_TRUE(form.RadioButton2->isChecked());
  EXPECT_FALSE(form.RadioButton3->isChecked());

  desktop_->styleFailure = "refused";
  QTest::mouseClick(form.RadioButton1, Qt::LeftButton);
  shown = messages_.Requests();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].kind, MessageKind::ErrorDisplay);
  EXPECT_TRUE(form.RadioButton2->isChecked());
  EXPECT_FALSE(form.RadioButton1->isChecked());
  EXPECT_EQ(desktop_->style, platform::kStretchedPair);
  EXPECT_EQ(desktop_->styleWrites, writes);
  EXPECT_EQ(desktop_->reapplies, reapplies);

  // Back in step: the checked button still matches the desktop, and the next change goes through.
  desktop_->styleFailure.clear();
  QTest::mouseClick(form.RadioButton2, Qt::LeftButton);
  EXPECT_EQ(desktop_->styleWrites, writes);
  QTest::mouseClick(form.RadioButton3, Qt::LeftButton);
  EXPECT_EQ(desktop_->style, platform::kTiledPair);
  EXPECT_EQ(messages_.Requests().size(), 2u);
}

}  // namespace
}  // namespace lumora::test
