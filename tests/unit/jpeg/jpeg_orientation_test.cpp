// SPDX-License-Identifier: GPL-3.0-or-later
// EXIF orientation: the tag as exiftool writes it, read back from the file's bytes, and decoded pictures
// turned the way ImageMagick turns djpeg's pixels for the orientation it reads from the same file.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg/exif_orientation.h"
#include "jpeg/jpeg_image.h"
#include "toolkit/orientation.h"
#include "unit/jpeg/jpeg_test_support.h"

namespace lumora::jpeg_test {
namespace {

int OrientationOf(const std::string& file) {
  return JpegExifOrientation(std::vector<std::uint8_t>(file.begin(), file.end()));
}

class ExifPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveExifPeers()) GTEST_SKIP() << "cjpeg, djpeg, ImageMagick or exiftool missing";
    // Unequal sides that cross the turner's 64-pixel tiles: a turn that swaps, mirrors or tiles the
    // wrong way cannot come out the same.
    WritePpm(dir_ / "source.ppm", 150, 70);
    ASSERT_EQ(Shell("cjpeg -sample 2x2 -outfile " + Quote(plain_) + " " + Quote(dir_ / "source.ppm")), 0);
  }

  // A copy of the plain file with the tags exiftool is given (numeric values).
  Path Tagged(const std::string& name, const std::string& tags) {
    const Path path = dir_ / name;
    WriteFile(path, ReadFile(plain_));
    EXPECT_EQ(Shell("exiftool -q -n -overwrite_original " + tags + " " + Quote(path)), 0) << tags;
    return path;
  }

  // djpeg's pixels turned by ImageMagick as the orientation it reads from jpeg says.
  Picture DjpegTurned(const Path& jpeg, const std::string& djpegOptions) {
    const Path decoded = dir_ / "d.bmp";
    const Path turned = dir_ / "t.bmp";
    EXPECT_EQ(
        Shell("djpeg -dct float -bmp " + djpegOptions + " -outfile " + Quote(decoded) + " " + Quote(jpeg)),
        0);
    EXPECT_EQ(
        Shell("/usr/bin/convert " + Quote(decoded) + " -orient \"$(/usr/bin/identify -format " +
              "'%[orientation]' " + Quote(jpeg) + ")\" -auto-orient -type TrueColor BMP3:" + Quote(turned)),
        0);
    return ReadBmp(turned);
  }

  Scratch dir_;
  Path plain_ = dir_ / "plain.jpg";
};

TEST_F(ExifPeers, EveryOrientationTurnsTheDecodedPictureLikeImageMagick) {
  for (int orientation = 1; orientation <= 8; ++orientation) {
    // Both byte orders, each for four of the values.
    const std::string order = orientation % 2 ? "II" : "MM";
    SCOPED_TRACE(order + " orientation " + std::to_string(orientation));
    const Path jpeg =
        Tagged("o.jpg", "-ExifByteOrder=" + order + " -Orientation=" + std::to_string(orientation));
    EXPECT_EQ(OrientationOf(ReadFile(jpeg)), orientation);

    for (const int bits : {24, 8}) {
      TJPEGImage image;
      image.SetOutputBits(bits);
      image.LoadFromFile(jpeg.string());
      EXPECT_EQ(image.ExifOrientation(), orientation);
      // The image itself stays as stored; turning is up to whoever shows it.
      EXPECT_EQ(image.GetWidth(), 150);
      EXPECT_EQ(image.GetHeight(), 70);
      TBitmap bitmap;
      bitmap.Assign(image);
      ApplyOrientation(bitmap, orientation);
      EXPECT_EQ(bitmap.GetPixelFormat(), bits == 8 ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
      bitmap.SetPixelFormat(TPixelFormat::pf24bit);  // ImageMagick writes palette colours out in full
      EXPECT_EQ(Difference(DjpegTurned(jpeg, bits == 8 ? "-colors 236" : ""), FromBitmap(bitmap)), "")
          << bits << " bits";
    }
  }
}

TEST_F(ExifPeers, WithoutTheTagTheFileReadsUnturned) {
  EXPECT_EQ(OrientationOf(ReadFile(plain_)), 1) << "no Exif segment at all";
  EXPECT_EQ(OrientationOf(ReadFile(Tagged("artist.jpg", "-Artist=somebody"))), 1) << "Exif without the tag";
  EXPECT_EQ(OrientationOf(ReadFile(Tagged("xmp.jpg", "-XMP-tiff:Orientation=6"))), 1) << "only in XMP";
}

TEST_F(ExifPeers, DamagedExifReadsUnturnedAndDecodesAsBefore) {
  const std::string good = ReadFile(Tagged("o6.jpg", "-Orientation=6"));
  ASSERT_EQ(OrientationOf(good), 6);
  // exiftool writes big-endian, IFD0 at offset 8 with the orientation as its first entry.
  const std::size_t app1 = good.find("Exif") - 4, tiff = app1 + 10, entry = tiff + 10;
  ASSERT_EQ(good.substr(tiff, 12), std::string("MM\0\x2A\0\0\0\x08\0\x05\x01\x12", 12));
  auto patched = [&](std::size_t offset, const std::string& bytes) {
    return std::string(good).replace(offset, bytes.size(), bytes);
  };
  const std::vector<std::pair<const char*, std::string>> damaged = {
      {"byte order", patched(tiff, "MI")},
      {"TIFF magic", patched(tiff + 2, std::string("\0\x2B", 2))},
      {"IFD0 past the segment", patched(tiff + 4, "\x7F\xFF\xFF\xFF")},
      {"more entries than the segment holds", patched(entry - 2, "\xFF\xFF")},
      {"LONG instead of SHORT", patched(entry + 2, std::string("\0\x04", 2))},
      {"value 9", patched(entry + 8, std::string("\0\x09", 2))},
      {"orientation twice", patched(entry + 12, good.substr(entry, 12))},
      {"no Exif name", patched(app1 + 4, "Exix")},
  };
  TJPEGImage plain;
  plain.LoadFromFile(plain_.string());
  const Picture expected = FromBitmap(plain.DecodedBitmap());
  for (const auto& [what, file] : damaged) {
    WriteFile(dir_ / "damaged.jpg", file);
    TJPEGImage image;
    image.LoadFromFile((dir_ / "damaged.jpg").string());
    EXPECT_EQ(image.ExifOrientation(), 1) << what;
    // The Exif block never reaches the pixels.
    EXPECT_EQ(Difference(expected, FromBitmap(image.DecodedBitmap())), "") << what;
  }

  // Cut anywhere inside the segment (its length then points past the end), the block does not count.
  const std::size_t segmentEnd =
      app1 + 2 + (std::uint8_t(good[app1 + 2]) << 8 | std::uint8_t(good[app1 + 3]));
  for (std::size_t length = 0; length < segmentEnd; ++length) {
    ASSERT_EQ(OrientationOf(good.substr(0, length)), 1) << "cut to " << length;
  }
  EXPECT_EQ(OrientationOf(good.substr(0, segmentEnd)), 6);
  // After the first scan, an Exif segment no longer belongs to the headers.
  std::string late = ReadFile(plain_);
  late.insert(late.rfind("\xFF\xD9"), good.substr(app1, segmentEnd - app1));
  EXPECT_EQ(OrientationOf(late), 1);
}

}  // namespace
}  // namespace lumora::jpeg_test
