// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/graphic.h"

namespace lumora {

enum class TPixelFormat { pf8bit, pf24bit };

struct TPaletteEntry {
  std::uint8_t peRed = 0;
  std::uint8_t peGreen = 0;
  std::uint8_t peBlue = 0;
  std::uint8_t peFlags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};
using TPalette = std::vector<TPaletteEntry>;

// A device-independent bitmap: rows top-down in memory, each row padded to a multiple of 4 bytes.
// pf24bit rows hold blue, green, red bytes; pf8bit rows hold indexes into the palette (up to 256 entries).
class TBitmap : public TGraphic {
 public:
  // The largest pixel memory a bitmap will hold; larger sizes raise EOutOfResources before allocating.
  static constexpr std::size_t kMaxPixelBytes = std::size_t{1} << 30;

  TBitmap() = default;
  const char* ClassName() const override { return "TBitmap"; }

  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  bool GetEmpty() const override { return width_ == 0 || height_ == 0; }

  TPixelFormat GetPixelFormat() const { return format_; }
  // Converts the pixels already held: 8 → 24 bits looks every index up in the palette; 24 → 8 bits maps
  // every pixel onto a fixed 6×6×6 colour cube, which becomes the palette.
  void SetPixelFormat(TPixelFormat format);

  // Resizes, keeping the pixel format and palette; the pixels start black (all bytes zero).
  // Raises EOutOfResources when the picture would not fit kMaxPixelBytes, EInvalidGraphic on negative sizes.
  void SetSize(int width, int height);
  // Drops the pixels and palette and sets the format: an empty bitmap of that format.
  void Clear(TPixelFormat format);

  // Writable rows: a bitmap that shares its pixels takes a copy of its own first.
  std::uint8_t* ScanLine(int row);
  const std::uint8_t* ScanLine(int row) const;
  // Distance in bytes from one row to the next in memory (positive: rows lie top-down).
  std::ptrdiff_t RowStride() const { return static_cast<std::ptrdiff_t>(stride_); }
  static std::size_t StrideFor(int width, TPixelFormat format);

  const TPalette& GetPalette() const { return palette_; }
  void SetPalette(TPalette palette);

  // From another TBitmap: a copy of size, format, palette and pixels (the pixel memory is shared until
  // either bitmap writes to it). Anything else: source.AssignTo.
  void Assign(const TGraphic& source) override;
  void AssignTo(TGraphic& dest) const override;

  // Windows BMP files (see bmp_file.cpp).
  void LoadFromStream(std::istream& stream) override;
  void SaveToStream(std::ostream& stream) override;

 private:
  // Moves the whole picture of other into this bitmap, leaving other empty.
  void TakePicture(TBitmap& other);
  static std::shared_ptr<std::uint8_t[]> AllocatePixels(std::size_t bytes, int width, int height);
  void Detach();

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = TPixelFormat::pf24bit;
  std::size_t stride_ = 0;
  // Shared between bitmaps assigned from one another until one of them writes (copy on write), so that
  // handing a decoded picture on costs no second copy of its memory.
  std::shared_ptr<std::uint8_t[]> pixels_;
  TPalette palette_;
};

}  // namespace lumora
