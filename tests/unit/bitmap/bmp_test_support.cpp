// SPDX-License-Identifier: GPL-3.0-or-later
#include "unit/bitmap/bmp_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>

namespace {
std::atomic<std::size_t> largest{0};

void* Allocate(std::size_t size) {
  for (std::size_t seen = largest; size > seen && !largest.compare_exchange_weak(seen, size);) {
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace lumora::bmptest {

void ResetLargestAllocation() {
  largest = 0;
}
std::size_t LargestAllocation() {
  return largest;
}

std::string Le(std::initializer_list<std::uint32_t> values, int size) {
  std::string out;
  for (std::uint32_t v : values) {
    for (int i = 0; i < size; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  return out;
}

std::string BmpFields::File() const {
  const auto w = static_cast<std::uint32_t>(width);
  const auto h = static_cast<std::uint32_t>(height);
  std::string header = Le({headerSize}, 4);
  if (headerSize == 12) {
    header += Le({w, h, 1, bits}, 2);
  } else {
    header +=
        Le({w, h}, 4) + Le({1, bits}, 2) + Le({compression, static_cast<std::uint32_t>(pixels.size())}, 4);
    header += Le({2835, 2835, colorsUsed, 0}, 4);
    for (std::size_t i = 0; i < masks.size(); ++i) header += Le({masks[i]}, 4);
    if (headerSize > 40) header.resize(headerSize, '\0');  // masks inside the header, the rest zero
  }
  for (const TPaletteEntry& e : palette) {
    header += Le({e.peBlue, e.peGreen, e.peRed});
    if (headerSize != 12) header += '\0';
  }
  const auto offset = static_cast<std::uint32_t>(14 + header.size());
  return "BM" + Le({static_cast<std::uint32_t>(offset + pixels.size()), 0, pixelOffset.value_or(offset)}, 4) +
         header + pixels;
}

void Load(TBitmap& bitmap, const std::string& bytes) {
  std::istringstream in(bytes);
  bitmap.LoadFromStream(in);
}

std::string Save(TBitmap& bitmap) {
  std::ostringstream out;
  bitmap.SaveToStream(out);
  return out.str();
}

std::array<std::uint8_t, 3> Rgb(const TBitmap& bitmap, int x, int y) {
  const std::uint8_t* row = bitmap.ScanLine(y);
  if (bitmap.GetPixelFormat() == TPixelFormat::pf24bit) return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
  const TPaletteEntry& e = bitmap.GetPalette().at(row[x]);
  return {e.peRed, e.peGreen, e.peBlue};
}

void ExpectSamePicture(const TBitmap& expected, const TBitmap& actual) {
  ASSERT_EQ(expected.GetWidth(), actual.GetWidth());
  ASSERT_EQ(expected.GetHeight(), actual.GetHeight());
  ASSERT_EQ(expected.GetPixelFormat(), actual.GetPixelFormat());
  EXPECT_EQ(expected.GetPalette(), actual.GetPalette());
  const std::size_t used = static_cast<std::size_t>(expected.GetWidth()) *
                           (expected.GetPixelFormat() == TPixelFormat::pf24bit ? 3 : 1);
  for (int y = 0; y < expected.GetHeight(); ++y) {
    ASSERT_EQ(std::string(expected.ScanLine(y), expected.ScanLine(y) + used),
              std::string(actual.ScanLine(y), actual.ScanLine(y) + used))
        << "row " << y;
  }
}

}  // namespace lumora::bmptest
