// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/bitmap.h"

namespace lumora::bmptest {

// The fields of a BMP file, for crafting files that no tool at hand writes (or writes wrongly on purpose).
struct BmpFields {
  std::uint32_t headerSize = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> masks;          // in the header from V2 on, after a 40-byte header otherwise
  TPalette palette;                          // written as 3-byte entries for 12-byte headers
  std::string pixels;                        // exactly as they go in the file
  std::optional<std::uint32_t> pixelOffset;  // default: right after the colour table

  BmpFields& HeaderSize(std::uint32_t v) { return headerSize = v, *this; }
  BmpFields& Size(std::int32_t w, std::int32_t h) { return width = w, height = h, *this; }
  BmpFields& Bits(std::uint16_t v) { return bits = v, *this; }
  BmpFields& Compression(std::uint32_t v) { return compression = v, *this; }
  BmpFields& ColorsUsed(std::uint32_t v) { return colorsUsed = v, *this; }
  BmpFields& Masks(std::vector<std::uint32_t> v) { return masks = std::move(v), *this; }
  BmpFields& Palette(TPalette v) { return palette = std::move(v), *this; }
  BmpFields& Pixels(std::string v) { return pixels = std::move(v), *this; }
  BmpFields& PixelOffset(std::uint32_t v) { return pixelOffset = v, *this; }
  std::string File() const;
};

// Little-endian values of the given byte size each.
std::string Le(std::initializer_list<std::uint32_t> values, int size = 1);

void Load(TBitmap& bitmap, const std::string& bytes);
std::string Save(TBitmap& bitmap);

// Red, green, blue of one pixel, looked up in the palette for pf8bit.
std::array<std::uint8_t, 3> Rgb(const TBitmap& bitmap, int x, int y);
// Size, format, palette and every pixel alike (padding excluded).
void ExpectSamePicture(const TBitmap& expected, const TBitmap& actual);

// The largest single heap allocation since the last reset (operator new is replaced in this test binary).
void ResetLargestAllocation();
std::size_t LargestAllocation();

}  // namespace lumora::bmptest
