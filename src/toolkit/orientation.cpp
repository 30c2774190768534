// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/orientation.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace lumora {

namespace {

// Where each source pixel lands: byte offset origin + x * stepX + y * stepY in the turned picture.
struct Placement {
  std::ptrdiff_t origin;
  std::ptrdiff_t stepX;
  std::ptrdiff_t stepY;
};

Placement PlacementFor(int orientation, int width, int height, std::ptrdiff_t stride, std::ptrdiff_t bytes) {
  const std::ptrdiff_t lastX = width - 1;
  const std::ptrdiff_t lastY = height - 1;
  switch (orientation) {
    case eoMirrorHorizontal:
      return {lastX * bytes, -bytes, stride};
    case eoRotate180:
      return {lastY * stride + lastX * bytes, -bytes, -stride};
    case eoMirrorVertical:
      return {lastY * stride, bytes, -stride};
    case eoTranspose:
      return {0, stride, bytes};
    case eoRotate90:
      return {lastY * bytes, stride, -bytes};
    case eoTransverse:
      return {lastX * stride + lastY * bytes, -stride, -bytes};
    default:  // eoRotate270
      return {lastX * stride, -stride, bytes};
  }
}

// Turning writes one destination row per source pixel; in tiles, the rows being written stay in the cache.
constexpr int kTile = 64;

template <std::size_t kBytes>
void CopyTurned(const std::uint8_t* source, std::ptrdiff_t sourceStride, int width, int height,
                std::uint8_t* dest, const Placement& place, int tileWidth, int tileHeight) {
  for (int top = 0; top < height; top += tileHeight) {
    const int bottom = std::min(height, top + tileHeight);
    for (int left = 0; left < width; left += tileWidth) {
      const int right = std::min(width, left + tileWidth);
      for (int y = top; y < bottom; ++y) {
        const std::uint8_t* from = source + y * sourceStride + std::ptrdiff_t{left} * kBytes;
        std::ptrdiff_t to = place.origin + y * place.stepY + left * place.stepX;
        for (int x = left; x < right; ++x, from += kBytes, to += place.stepX) {
          std::memcpy(dest + to, from, kBytes);
        }
      }
    }
  }
}

}  // namespace

void ApplyOrientation(TBitmap& bitmap, int orientation) {
  if (orientation <= eoNormal || orientation > eoRotate270 || bitmap.GetEmpty()) return;
  const int width = bitmap.GetWidth();
  const int height = bitmap.GetHeight();
  const bool swaps = orientation >= eoTranspose;
  const TPixelFormat format = bitmap.GetPixelFormat();

  TBitmap turned;
  turned.Clear(format);
  turned.SetPalette(bitmap.GetPalette());
  turned.SetSize(swaps ? height : width, swaps ? width : height);

  const std::ptrdiff_t bytes = format == TPixelFormat::pf24bit ? 3 : 1;
  const Placement place = PlacementFor(orientation, width, height, turned.RowStride(), bytes);
  // Reading through the const row keeps pixels shared with other bitmaps shared.
  const std::uint8_t* source = std::as_const(bitmap).ScanLine(0);
  std::uint8_t* dest = turned.ScanLine(0);
  const int tileWidth = swaps ? kTile : width;
  const int tileHeight = swaps ? kTile : height;
  if (bytes == 3) {
    CopyTurned<3>(source, bitmap.RowStride(), width, height, dest, place, tileWidth, tileHeight);
  } else {
    CopyTurned<1>(source, bitmap.RowStride(), width, height, dest, place, tileWidth, tileHeight);
  }
  bitmap.Assign(turned);
}

}  // namespace lumora
