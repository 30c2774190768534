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

// Pixels keep their size, or go from blue-green-red bytes to one 32-bit word 0xFFRRGGBB.
template <std::size_t kFrom, std::size_t kTo>
inline void PutPixel(std::uint8_t* to, const std::uint8_t* from) {
  if constexpr (kFrom == kTo) {
    std::memcpy(to, from, kTo);
  } else {
    static_assert(kFrom == 3 && kTo == 4);
    const std::uint32_t word =
        0xFF000000u | std::uint32_t{from[2]} << 16 | std::uint32_t{from[1]} << 8 | from[0];
    std::memcpy(to, &word, 4);
  }
}

template <std::size_t kFrom, std::size_t kTo>
void CopyTurned(const std::uint8_t* source, std::ptrdiff_t sourceStride, int width, int height,
                std::uint8_t* dest, const Placement& place, int tileWidth, int tileHeight) {
  for (int top = 0; top < height; top += tileHeight) {
    const int bottom = std::min(height, top + tileHeight);
    for (int left = 0; left < width; left += tileWidth) {
      const int right = std::min(width, left + tileWidth);
      int y = top;
      if constexpr (kFrom == 4 && kTo == 4) {
        // Rows that become columns, four at a time: the four pixels a column takes from them lie side by
        // side in one destination row, one 16-byte store instead of four scattered ones.
        if (place.stepY == 4 || place.stepY == -4) {
          const bool ascending = place.stepY > 0;
          for (; y + 4 <= bottom; y += 4) {
            const std::uint8_t* row = source + y * sourceStride + std::ptrdiff_t{left} * 4;
            std::uint8_t* to =
                dest + place.origin + (ascending ? y : y + 3) * place.stepY + left * place.stepX;
            for (int x = left; x < right; ++x, row += 4, to += place.stepX) {
              std::uint32_t four[4];
              for (int i = 0; i < 4; ++i)
                std::memcpy(&four[ascending ? i : 3 - i], row + i * sourceStride, 4);
              std::memcpy(to, four, sizeof four);
            }
          }
        }
      }
      for (; y < bottom; ++y) {
        const std::uint8_t* from = source + y * sourceStride + std::ptrdiff_t{left} * kFrom;
        std::uint8_t* to = dest + place.origin + y * place.stepY + left * place.stepX;
        if (place.stepX == static_cast<std::ptrdiff_t>(kTo)) {
          // Rows that keep their direction: a fixed step the compiler can widen.
          for (int x = left; x < right; ++x, from += kFrom, to += kTo) PutPixel<kFrom, kTo>(to, from);
        } else {
          for (int x = left; x < right; ++x, from += kFrom, to += place.stepX) PutPixel<kFrom, kTo>(to, from);
        }
      }
    }
  }
}

// Tiles only pay when the turn writes across rows.
int TileSide(int orientation, int side) {
  return orientation >= eoTranspose ? kTile : side;
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
  const int tileWidth = TileSide(orientation, width);
  const int tileHeight = TileSide(orientation, height);
  if (bytes == 3) {
    CopyTurned<3, 3>(source, bitmap.RowStride(), width, height, dest, place, tileWidth, tileHeight);
  } else {
    CopyTurned<1, 1>(source, bitmap.RowStride(), width, height, dest, place, tileWidth, tileHeight);
  }
  bitmap.Assign(turned);
}

void CopyUpright32(const TBitmap& bitmap, int orientation, std::uint8_t* dest, std::ptrdiff_t destStride) {
  if (bitmap.GetEmpty() || bitmap.GetPixelFormat() != TPixelFormat::pf24bit) return;
  if (orientation < eoNormal || orientation > eoRotate270) orientation = eoNormal;
  const int width = bitmap.GetWidth();
  const int height = bitmap.GetHeight();
  const Placement place = orientation == eoNormal ? Placement{0, 4, destStride}
                                                  : PlacementFor(orientation, width, height, destStride, 4);
  CopyTurned<3, 4>(bitmap.ScanLine(0), bitmap.RowStride(), width, height, dest, place,
                   TileSide(orientation, width), TileSide(orientation, height));
}

void PlaceUpright32(const std::uint8_t* band, std::ptrdiff_t bandStride, int firstRow, int rowCount,
                    int width, int height, int orientation, std::uint8_t* dest, std::ptrdiff_t destStride) {
  if (orientation < eoNormal || orientation > eoRotate270) orientation = eoNormal;
  Placement place = orientation == eoNormal ? Placement{0, 4, destStride}
                                            : PlacementFor(orientation, width, height, destStride, 4);
  // The band's first row is the stored picture's row firstRow.
  place.origin += firstRow * place.stepY;
  CopyTurned<4, 4>(band, bandStride, width, rowCount, dest, place, TileSide(orientation, width),
                   TileSide(orientation, rowCount));
}

}  // namespace lumora
