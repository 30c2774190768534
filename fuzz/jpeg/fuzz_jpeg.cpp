// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness: any bytes through the EXIF orientation reader, loading, decoding at both depths (with
// and without a palette to map onto), or straight into screen rows turned a band at a time, turning the
// picture as its orientation says and, for small pictures, encoding the result again.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "jpeg/exif_orientation.h"
#include "jpeg/jpeg_image.h"
#include "toolkit/orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The last byte picks the mode. A JPEG file ends at its end-of-image marker, so seed files carry an
  // extra byte for this that the decoder never looks at.
  const std::uint8_t mode = data[size - 1];
  const int orientation = lumora::JpegExifOrientation(data, size);
  if (orientation < 1 || orientation > 8) __builtin_trap();
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  lumora::TJPEGImage image;
  image.SetOutputBits(mode & 1 ? 8 : 24);
  if (mode & 2) image.SetPalette(lumora::CreateHalftonePalette());
  try {
    image.LoadFromStream(in);
    // Pictures the image refuses are refused before any work, so they cost nothing; pictures between a
    // megapixel and that limit are decoded correctly but slowly, and only make the fuzzer crawl.
    const auto pixels =
        static_cast<std::uint64_t>(image.GetWidth()) * static_cast<std::uint64_t>(image.GetHeight());
    if (pixels > 1'000'000 && pixels <= lumora::TBitmap::kMaxPixelBytes) return 0;
    if ((mode & 16) != 0) {
      // The preview's way: rows handed out one at a time and placed turned in bands.
      std::vector<std::uint8_t> band;
      std::vector<std::uint8_t> upright;
      int width = 0;
      int height = 0;
      const lumora::TScreenRowTarget target{
          [&](int w, int h) {
            width = w;
            height = h;
            band.assign(static_cast<std::size_t>(w) * 4 * lumora::kScreenBandRows, 0);
            upright.assign(static_cast<std::size_t>(w) * 4 * static_cast<std::size_t>(h), 0);
          },
          [&](int row) {
            return band.data() + static_cast<std::size_t>(row % lumora::kScreenBandRows) * width * 4;
          },
          [&](int first, int count) {
            const bool swaps = orientation >= 5;
            lumora::PlaceUpright32(band.data(), std::ptrdiff_t{width} * 4, first, count, width, height,
                                   orientation, upright.data(), std::ptrdiff_t{swaps ? height : width} * 4);
          }};
      image.DecodeScreenRows(target);
      return 0;
    }
    lumora::TBitmap bitmap;
    bitmap.Assign(image);
    lumora::ApplyOrientation(bitmap, orientation);
    if ((mode & 4) != 0 && pixels <= 250'000) {
      lumora::TJPEGImage again;
      again.SetMultiScan((mode & 8) != 0);
      again.Assign(bitmap);
      std::ostringstream out;
      again.SaveToStream(out);
    }
  } catch (const lumora::Exception&) {
    // Refusing a damaged file is the right outcome; crashing or reading out of bounds is not.
  }
  return 0;
}
