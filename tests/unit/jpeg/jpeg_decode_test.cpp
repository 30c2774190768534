// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding checked against djpeg, which runs the same codec: given float DCT it uses our settings, as
// block smoothing and fancy upsampling are its defaults, and -colors/-map run the same quantiser.

#include <gtest/gtest.h>
#include <jerror.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "jpeg/jpeg_image.h"
#include "unit/jpeg/jpeg_test_support.h"

namespace lumora::jpeg_test {
namespace {

struct CorpusCase {
  const char* name;
  int width;
  int height;
  const char* encoder;  // run with the source PPM and the JPEG file appended
  bool gray = false;
  bool progressive = false;
};

void PrintTo(const CorpusCase& c, std::ostream* out) {
  *out << c.name;
}

const CorpusCase kCorpus[] = {
    {"baseline444", 61, 47, "cjpeg -quality 90 -sample 1x1 -outfile"},
    {"baseline422", 61, 47, "cjpeg -quality 90 -sample 2x1 -outfile"},
    {"baseline420", 61, 47, "cjpeg -quality 75 -sample 2x2 -outfile"},
    {"progressive420", 61, 47, "cjpeg -progressive -outfile", false, true},
    {"progressive444", 40, 33, "cjpeg -progressive -sample 1x1 -quality 95 -outfile", false, true},
    {"restarts", 61, 47, "cjpeg -restart 1 -sample 2x1 -outfile"},
    {"magickProgressive422", 50, 39, "/usr/bin/convert -interlace Plane -sampling-factor 2x1", false, true},
    {"onePixel", 1, 1, "cjpeg -outfile"},
    {"oneColumn", 1, 29, "cjpeg -progressive -outfile", false, true},
    {"oneRow", 29, 1, "cjpeg -outfile"},
    {"oddSize", 37, 23, "cjpeg -sample 2x2 -outfile"},
    {"large", 1920, 1080, "cjpeg -quality 90 -outfile"},
    {"gray", 45, 31, "cjpeg -grayscale -outfile", true},
    {"grayProgressive", 45, 31, "cjpeg -grayscale -progressive -outfile", true, true},
    {"magickGray", 33, 20, "/usr/bin/convert -colorspace Gray", true},
};

// Offset of the first marker with this code (the byte after 0xFF) at or after from.
std::size_t FindMarker(const std::string& bytes, unsigned char code, std::size_t from = 2) {
  return bytes.find(std::string{'\xFF', static_cast<char>(code)}, from);
}

class JpegDecode : public ::testing::TestWithParam<CorpusCase> {
 protected:
  void SetUp() override {
    if (!HavePeers()) GTEST_SKIP() << "cjpeg, djpeg or ImageMagick missing";
    WritePpm(dir_ / "source.ppm", GetParam().width, GetParam().height);
    const std::string encoder = GetParam().encoder;
    const bool magick = encoder.starts_with("/usr/bin/convert");
    // ImageMagick takes its input first, cjpeg after -outfile.
    ASSERT_EQ(Shell(magick ? "/usr/bin/convert " + Quote(dir_ / "source.ppm") + encoder.substr(16) + " " +
                                 Quote(jpeg_)
                           : encoder + " " + Quote(jpeg_) + " " + Quote(dir_ / "source.ppm")),
              0);
  }

  // What djpeg makes of a file with our settings and the given extra options.
  Picture Djpeg(const std::string& options, const Path& jpeg) {
    // Exit status 2 means warnings only (a cut-off file); the picture is still written.
    const int status =
        Shell("djpeg -dct float -bmp " + options + " -outfile " + Quote(dir_ / "d.bmp") + " " + Quote(jpeg));
    EXPECT_TRUE(status == 0 || status == 2) << "djpeg exit status " << status;
    return ReadBmp(dir_ / "d.bmp");
  }

  Scratch dir_;
  Path jpeg_ = dir_ / "picture.jpg";
};

TEST_P(JpegDecode, MatchesDjpegAndSavesTheSameBmp) {
  const bool gray = GetParam().gray;
  TJPEGImage image;
  image.LoadFromFile(jpeg_.string());
  EXPECT_EQ(image.GetWidth(), GetParam().width);
  EXPECT_EQ(image.GetHeight(), GetParam().height);
  EXPECT_EQ(image.GetMultiScan(), GetParam().progressive);

  TBitmap bitmap;
  bitmap.Assign(image);
  // Gray files come out 8-bit through the codec's gray quantiser, which djpeg runs given -colors; its
  // colour map is a gray ramp, so equal colours mean equal gray levels.
  const Picture expected = Djpeg(gray ? "-colors 236" : "", jpeg_);
  EXPECT_EQ(Difference(expected, FromBitmap(bitmap)), "");
  bitmap.SaveToFile((dir_ / "ours.bmp").string());
  const Picture saved = ReadBmp(dir_ / "ours.bmp");
  EXPECT_EQ(saved.bits, gray ? 8 : 24);
  EXPECT_EQ(Difference(expected, saved), "");
}

TEST_P(JpegDecode, EightBitOutputMatchesDjpegQuantiser) {
  // Left to itself the codec picks at most 236 colours; given a palette, colour output maps onto it
  // (djpeg -map reads a palette from a picture's colours in order) while gray output keeps its ramp.
  const TPaletteHandle halftone = CreateHalftonePalette();
  std::string map = "P6\n" + std::to_string(halftone->size()) + " 1\n255\n";
  for (const TPaletteEntry& e : *halftone) map += {char(e.peRed), char(e.peGreen), char(e.peBlue)};
  WriteFile(dir_ / "map.ppm", map);

  for (const bool given : {false, true}) {
    TJPEGImage image;
    image.SetOutputBits(8);
    image.LoadFromFile(jpeg_.string());
    if (given) image.SetPalette(halftone);
    const TBitmap& bitmap = image.DecodedBitmap();
    EXPECT_EQ(bitmap.GetPixelFormat(), TPixelFormat::pf8bit);
    EXPECT_LE(bitmap.GetPalette().size(), 236u);
    const bool mapped = given && !GetParam().gray;
    if (mapped) {
      EXPECT_EQ(bitmap.GetPalette(), *halftone);
    }
    EXPECT_EQ(Difference(Djpeg(mapped ? "-map " + Quote(dir_ / "map.ppm") : "-colors 236", jpeg_),
                         FromBitmap(bitmap)),
              "")
        << (given ? "given palette" : "own palette");
  }
}

TEST_P(JpegDecode, CutOffFileDecodesLikeDjpeg) {
  // Cut in the middle of the first scan's compressed data, not inside a marker segment.
  std::string bytes = ReadFile(jpeg_);
  const std::size_t sos = FindMarker(bytes, 0xDA);
  const std::size_t data = sos + 2 + (std::uint8_t(bytes.at(sos + 2)) << 8 | std::uint8_t(bytes.at(sos + 3)));
  std::size_t end = data;
  while (end + 1 < bytes.size() &&
         !(bytes[end] == '\xFF' && bytes[end + 1] != 0 && (bytes[end + 1] & 0xF8) != 0xD0))
    ++end;
  bytes.resize(data + (end - data + 1) / 2);
  WriteFile(dir_ / "cut.jpg", bytes);

  TJPEGImage image;
  image.SetOutputBits(GetParam().gray ? 8 : 24);
  image.LoadFromFile((dir_ / "cut.jpg").string());
  TBitmap bitmap;
  ASSERT_NO_THROW(bitmap.Assign(image));
  EXPECT_EQ(Difference(Djpeg(GetParam().gray ? "-colors 236" : "", dir_ / "cut.jpg"), FromBitmap(bitmap)),
            "");
}

INSTANTIATE_TEST_SUITE_P(Corpus, JpegDecode, ::testing::ValuesIn(kCorpus),
                         [](const auto& test) { return std::string(test.param.name); });

// --- Files the codec or the image refuses ------------------------------------------------------------

void LoadBytes(TJPEGImage& image, const std::string& bytes) {
  std::istringstream in(bytes);
  image.LoadFromStream(in);
}

// A small cjpeg file, optionally announcing another size in its frame header.
std::string Cjpeg(const std::string& options, unsigned char sof, int announced = 0) {
  Scratch dir;
  WritePpm(dir / "s.ppm", 64, 64);
  Shell("cjpeg " + options + " -outfile " + Quote(dir / "s.jpg") + " " + Quote(dir / "s.ppm"));
  std::string bytes = ReadFile(dir / "s.jpg");
  const std::size_t at = FindMarker(bytes, sof);
  EXPECT_NE(at, std::string::npos);
  for (std::size_t field : {at + 5, at + 7}) {  // height, width
    if (announced == 0) break;
    bytes.at(field) = static_cast<char>(announced >> 8);
    bytes.at(field + 1) = static_cast<char>(announced & 0xFF);
  }
  return bytes;
}

void ExpectCodecError(TJPEGImage& image, int code) {
  try {
    image.DecodedBitmap();
    ADD_FAILURE() << "decoded";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), "JPEG error #" + std::to_string(code));
  }
}

class JpegRefused : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HavePeers()) GTEST_SKIP() << "cjpeg, djpeg or ImageMagick missing";
  }
};

TEST_F(JpegRefused, NotAJpegFailsAtLoadWithTheCodecsCodeAndKeepsTheBytes) {
  const std::string gif("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14);  // NUL bytes included
  TJPEGImage image;
  try {
    LoadBytes(image, gif);
    ADD_FAILURE() << "loaded";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), "JPEG error #" + std::to_string(JERR_NO_SOI));
  }
  std::ostringstream out;
  image.SaveToStream(out);
  EXPECT_EQ(out.str(), gif);
}

TEST_F(JpegRefused, CodecErrorWhileDecodingKeepsTheBitmapAttached) {
  Scratch dir;
  WritePpm(dir / "s.ppm", 16, 16);
  ASSERT_EQ(Shell("/usr/bin/convert " + Quote(dir / "s.ppm") + " -colorspace CMYK " + Quote(dir / "c.jpg")),
            0);
  TJPEGImage image;
  image.LoadFromFile((dir / "c.jpg").string());  // the header is fine
  int events = 0;
  image.OnProgress = [&](auto&&...) { ++events; };
  ExpectCodecError(image, JERR_CONVERSION_NOTIMPL);  // CMYK cannot become blue-green-red
  const int afterFirst = events;
  EXPECT_NO_THROW(image.DecodedBitmap());
  EXPECT_EQ(events, afterFirst) << "decoded a second time";
}

TEST_F(JpegRefused, HugeHeaderIsRefusedBeforeTheCodecWorks) {
  const std::string bytes = Cjpeg("-baseline", 0xC0, 60000);
  for (int bits : {24, 8}) {
    TJPEGImage image;
    image.SetOutputBits(bits);
    int tickReads = 0;
    image.TickCount = [&] { return static_cast<std::uint32_t>(++tickReads * 1000); };
    LoadBytes(image, bytes);
    EXPECT_EQ(image.GetWidth(), 60000);
    // Two-pass quantising would decode all 3.6 gigapixels inside jpeg_start_decompress, calling the
    // progress monitor as it goes: no tick read means the codec never started.
    EXPECT_THROW(image.DecodedBitmap(), EOutOfResources) << bits;
    EXPECT_EQ(tickReads, 0) << bits;
  }
}

TEST_F(JpegRefused, ProgressiveBuffersBeyondTheMemoryCapAreRefused) {
  // 30000 x 30000 at 8 bits fits a bitmap (900 MB), but its coefficients would take 5.4 GB.
  TJPEGImage image;
  image.SetOutputBits(8);
  LoadBytes(image, Cjpeg("-progressive -sample 1x1", 0xC2, 30000));
  ExpectCodecError(image, JERR_NO_BACKING_STORE);
}

// The file with its last scan (a refinement of the luminance) repeated: as many passes over the
// coefficients as copies, each costing as much as the announced size, whatever the data hold.
std::string WithRepeatedLastScan(const std::string& bytes, int copies) {
  std::size_t lastScan = FindMarker(bytes, 0xDA);
  for (std::size_t at = lastScan; at != std::string::npos; at = FindMarker(bytes, 0xDA, at + 2))
    lastScan = at;
  const std::size_t eoi = FindMarker(bytes, 0xD9, lastScan);
  std::string out = bytes.substr(0, eoi);
  for (int i = 0; i < copies; ++i) out += bytes.substr(lastScan, eoi - lastScan);
  return out + "\xFF\xD9";
}

TEST_F(JpegRefused, EndlessScansAreRefused) {
  const std::string bytes = Cjpeg("-progressive", 0xC2);
  TJPEGImage few, endless;
  LoadBytes(few, WithRepeatedLastScan(bytes, 50));
  EXPECT_EQ(few.DecodedBitmap().GetWidth(), 64);
  LoadBytes(endless, WithRepeatedLastScan(bytes, 1200));
  ExpectCodecError(endless, JERR_BAD_SCAN_SCRIPT);
}

TEST_F(JpegRefused, ScansAreBoundedByTheWorkTheyCause) {
  // 8000 x 8000 with 4:2:0 sampling: a million luminance blocks, 190 MB of coefficients and as much
  // bitmap, well inside the memory budget. The usual ten scans visit about 9 million blocks; 400 copies
  // of a luminance scan, with less than a megabyte of data, 400 million more.
  const std::string large = Cjpeg("-progressive", 0xC2, 8000);
  TJPEGImage busy;
  LoadBytes(busy, WithRepeatedLastScan(large, 400));
  ExpectCodecError(busy, JERR_BAD_SCAN_SCRIPT);

  // The ten scans of a 100-megapixel photo at full colour resolution visit about 22 million blocks; about
  // as many as 150 extra luminance scans over 2800 x 2800 pixels (122,500 blocks each). That decodes.
  TJPEGImage photo;
  LoadBytes(photo, WithRepeatedLastScan(Cjpeg("-progressive", 0xC2, 2800), 150));
  EXPECT_EQ(photo.DecodedBitmap().GetWidth(), 2800);
  EXPECT_EQ(photo.DecodedBitmap().GetHeight(), 2800);
}

TEST_F(JpegRefused, CodecBuffersAndBitmapShareOneMemoryBudget) {
  // 18000 x 18000 progressive 4:2:0: 972 MB of coefficients and 972 MB of 24-bit bitmap, each under the
  // 1 GiB budget on its own. In a child process, so that its peak memory is its own.
  const std::string bytes = Cjpeg("-progressive", 0xC2, 18000);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 1;
    try {
      TJPEGImage image;
      LoadBytes(image, bytes);
      image.DecodedBitmap();
    } catch (const EJPEG& e) {
      status = e.Message() == "JPEG error #" + std::to_string(JERR_NO_BACKING_STORE) ? 0 : 2;
    } catch (...) {
      status = 3;
    }
    _exit(status);
  }
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(child, &status, 0, &usage), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: decoded, 2: another codec error, 3: another exception";
  EXPECT_LT(usage.ru_maxrss, 300 * 1024) << "peak kB";  // either buffer alone would be 950,000 kB
}

}  // namespace
}  // namespace lumora::jpeg_test
