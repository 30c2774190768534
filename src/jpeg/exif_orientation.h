// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora {

// The EXIF orientation (1 to 8, see toolkit/orientation.h) of a JPEG file: tag 0x0112 of IFD0 in the first
// "Exif" APP1 segment before the first scan. 1 when the file has none, and whenever anything on the way
// is damaged, cut short or out of range: a picture left as stored is the safe guess.
int JpegExifOrientation(const std::uint8_t* data, std::size_t size);
int JpegExifOrientation(const std::vector<std::uint8_t>& jpegBytes);

}  // namespace lumora
