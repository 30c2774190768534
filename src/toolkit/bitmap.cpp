// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "toolkit/exceptions.h"

namespace lumora {

namespace {

int BytesPerPixel(TPixelFormat format) {
  return format == TPixelFormat::pf24bit ? 3 : 1;
}

// Levels of the 6×6×6 cube used when 24-bit pixels must become palette indexes.
constexpr int kCubeLevels = 6;

std::uint8_t CubeIndex(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  auto level = [](std::uint8_t v) { return (v * (kCubeLevels - 1) + 127) / 255; };
  return static_cast<std::uint8_t>((level(red) * kCubeLevels + level(green)) * kCubeLevels + level(blue));
}

TPalette CubePalette() {
  TPalette palette;
  for (int r = 0; r < kCubeLevels; ++r)
    for (int g = 0; g < kCubeLevels; ++g)
      for (int b = 0; b < kCubeLevels; ++b)
        palette.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                           static_cast<std::uint8_t>(b * 51), 0});
  return palette;
}

}  // namespace

std::size_t TBitmap::StrideFor(int width, TPixelFormat format) {
  return (static_cast<std::size_t>(width) * BytesPerPixel(format) + 3) & ~std::size_t{3};
}

void TBitmap::SetSize(int width, int height) {
  if (width < 0 || height < 0) {
    throw EInvalidGraphic("Invalid bitmap size " + std::to_string(width) + " x " + std::to_string(height));
  }
  const std::size_t stride = StrideFor(width, format_);
  if (height != 0 && stride > kMaxPixelBytes / static_cast<std::size_t>(height)) {
    throw EOutOfResources("Bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large");
  }
  auto pixels = AllocatePixels(stride * static_cast<std::size_t>(height), width, height);
  width_ = width;
  height_ = height;
  stride_ = stride;
  pixels_ = std::move(pixels);
}

std::shared_ptr<std::uint8_t[]> TBitmap::AllocatePixels(std::size_t bytes, int width, int height) {
  if (bytes == 0) return nullptr;
  try {
    return std::make_shared<std::uint8_t[]>(bytes);
  } catch (const std::bad_alloc&) {
    throw EOutOfResources("Out of memory for a bitmap of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels");
  }
}

void TBitmap::Detach() {
  if (!pixels_ || pixels_.use_count() == 1) return;
  const std::size_t bytes = stride_ * static_cast<std::size_t>(height_);
  auto own = AllocatePixels(bytes, width_, height_);
  std::memcpy(own.get(), pixels_.get(), bytes);
  pixels_ = std::move(own);
}

void TBitmap::Clear(TPixelFormat format) {
  width_ = height_ = 0;
  stride_ = 0;
  pixels_.reset();
  palette_.clear();
  format_ = format;
}

std::uint8_t* TBitmap::ScanLine(int row) {
  const std::uint8_t* shared = std::as_const(*this).ScanLine(row);
  if (pixels_.use_count() == 1) return const_cast<std::uint8_t*>(shared);
  Detach();
  return pixels_.get() + stride_ * static_cast<std::size_t>(row);
}

const std::uint8_t* TBitmap::ScanLine(int row) const {
  if (row < 0 || row >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  return pixels_.get() + stride_ * static_cast<std::size_t>(row);
}

void TBitmap::SetPalette(TPalette palette) {
  if (palette.size() > 256) palette.resize(256);
  palette_ = std::move(palette);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  TBitmap converted;
  converted.format_ = format;
  converted.SetSize(width_, height_);
  if (format == TPixelFormat::pf24bit) {
    for (int y = 0; y < height_; ++y) {
      const std::uint8_t* src = ScanLine(y);
      std::uint8_t* dst = converted.ScanLine(y);
      for (int x = 0; x < width_; ++x) {
        const TPaletteEntry e = src[x] < palette_.size() ? palette_[src[x]] : TPaletteEntry{};
        dst[3 * x] = e.peBlue;
        dst[3 * x + 1] = e.peGreen;
        dst[3 * x + 2] = e.peRed;
      }
    }
  } else {
    converted.palette_ = CubePalette();
    for (int y = 0; y < height_; ++y) {
      const std::uint8_t* src = ScanLine(y);
      std::uint8_t* dst = converted.ScanLine(y);
      for (int x = 0; x < width_; ++x) dst[x] = CubeIndex(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
    }
  }
  TakePicture(converted);
}

void TBitmap::TakePicture(TBitmap& other) {
  width_ = other.width_;
  height_ = other.height_;
  format_ = other.format_;
  stride_ = other.stride_;
  pixels_ = std::move(other.pixels_);
  palette_ = std::move(other.palette_);
  other.Clear(other.format_);
}

void TBitmap::Assign(const TGraphic& source) {
  const auto* other = dynamic_cast<const TBitmap*>(&source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  if (other == this) return;
  width_ = other->width_;
  height_ = other->height_;
  format_ = other->format_;
  stride_ = other->stride_;
  pixels_ = other->pixels_;
  palette_ = other->palette_;
  Changed();
}

void TBitmap::AssignTo(TGraphic& dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&dest)) {
    bitmap->Assign(*this);
    return;
  }
  TGraphic::AssignTo(dest);
}

}  // namespace lumora
