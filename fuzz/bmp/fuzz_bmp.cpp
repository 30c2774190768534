// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the BMP reader; whatever it accepts must also save.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"

namespace {
// A few bytes of RLE data may rightly announce a picture of up to a gigabyte. Saving one that large into a
// string adds seconds per input and no coverage, so the writer only sees pictures below this size.
constexpr std::size_t kLargestSaved = std::size_t{64} << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  lumora::TBitmap bitmap;
  try {
    bitmap.LoadFromStream(in);
  } catch (const lumora::Exception&) {
    return 0;
  }
  if (static_cast<std::size_t>(bitmap.RowStride()) * static_cast<std::size_t>(bitmap.GetHeight()) <=
      kLargestSaved) {
    std::ostringstream out;
    bitmap.SaveToStream(out);
  }
  return 0;
}
