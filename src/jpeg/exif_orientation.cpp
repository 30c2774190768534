// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpeg/exif_orientation.h"

#include <cstring>

namespace lumora {

namespace {

constexpr int kUnturned = 1;
constexpr std::uint8_t kApp1 = 0xE1;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::size_t kIfdEntrySize = 12;

// Reads the TIFF structure inside an Exif segment, every offset checked against the segment's end. Only
// IFD0 is read and no chain of IFD offsets is followed, so a damaged or circular chain cannot make it loop.
class TiffReader {
 public:
  TiffReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  int Orientation() {
    if (size_ < 8) return kUnturned;
    if (data_[0] == 'I' && data_[1] == 'I') {
      bigEndian_ = false;
    } else if (data_[0] == 'M' && data_[1] == 'M') {
      bigEndian_ = true;
    } else {
      return kUnturned;
    }
    if (Get16(2) != 42) return kUnturned;
    const std::uint32_t ifd = Get32(4);
    if (ifd < 8 || ifd > size_ - 2) return kUnturned;
    const std::uint16_t count = Get16(ifd);
    // The whole table must be there; no entry of a cut one is worth trusting.
    if (count * kIfdEntrySize > size_ - ifd - 2) return kUnturned;
    int found = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t entry = ifd + 2 + i * kIfdEntrySize;
      if (Get16(entry) != kOrientationTag) continue;
      // Two answers, or one of the wrong type or size: the writer did not know what it was doing.
      if (found != 0 || Get16(entry + 2) != kTypeShort || Get32(entry + 4) != 1) return kUnturned;
      // A single SHORT sits at the start of the value field, in the file's byte order.
      const std::uint16_t value = Get16(entry + 8);
      if (value < 1 || value > 8) return kUnturned;
      found = value;
    }
    return found != 0 ? found : kUnturned;
  }

 private:
  std::uint16_t Get16(std::size_t at) const {
    const std::uint8_t* p = data_ + at;
    return static_cast<std::uint16_t>(bigEndian_ ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
  }
  std::uint32_t Get32(std::size_t at) const {
    const std::uint32_t first = Get16(at);
    const std::uint32_t second = Get16(at + 2);
    return bigEndian_ ? (first << 16) | second : (second << 16) | first;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  bool bigEndian_ = false;
};

bool IsExif(const std::uint8_t* segment, std::size_t size) {
  static constexpr std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  return size >= sizeof kExifHeader && std::memcmp(segment, kExifHeader, sizeof kExifHeader) == 0;
}

}  // namespace

int JpegExifOrientation(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return kUnturned;
  std::size_t at = 2;
  // Every step moves forward by at least two bytes, so the walk ends at the end of the data.
  while (at + 4 <= size) {
    if (data[at] != 0xFF) return kUnturned;
    const std::uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++at;
      continue;
    }
    if (marker == kStartOfScan || marker == kEndOfImage) return kUnturned;
    // Restart markers and TEM stand alone; they do not belong in the headers, but carry no length either.
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(data[at + 2] << 8 | data[at + 3]);
    if (length < 2 || length > size - at - 2) return kUnturned;
    const std::uint8_t* segment = data + at + 4;
    const std::size_t segmentSize = length - 2;
    if (marker == kApp1 && IsExif(segment, segmentSize)) {
      // Only the first Exif segment counts, as with every reader that shows photos.
      return TiffReader(segment + 6, segmentSize - 6).Orientation();
    }
    at += 2 + length;
  }
  return kUnturned;
}

int JpegExifOrientation(const std::vector<std::uint8_t>& jpegBytes) {
  return JpegExifOrientation(jpegBytes.data(), jpegBytes.size());
}

}  // namespace lumora
