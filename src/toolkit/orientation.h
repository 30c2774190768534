// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/bitmap.h"

namespace lumora {

// The EXIF orientation values: how the stored pixels must be turned to show the picture the right way up.
// Cameras store a portrait photo as landscape pixels plus one of these.
enum TExifOrientation : int {
  eoNormal = 1,
  eoMirrorHorizontal = 2,
  eoRotate180 = 3,
  eoMirrorVertical = 4,
  eoTranspose = 5,   // mirror horizontally, then turn 90° counter-clockwise
  eoRotate90 = 6,    // turn 90° clockwise
  eoTransverse = 7,  // mirror horizontally, then turn 90° clockwise
  eoRotate270 = 8,   // turn 90° counter-clockwise
};

// Turns and flips the picture so that pixels stored with the given EXIF orientation show the right way
// up; 5 to 8 swap width and height. Format and palette stay; 1 and values outside 1..8 change nothing.
// Works on pf24bit and pf8bit alike, in one pass over the pixels, into a new pixel buffer (so a bitmap
// sharing the old pixels keeps them). Raises EOutOfResources when the second buffer cannot be had.
void ApplyOrientation(TBitmap& bitmap, int orientation);

// Writes a pf24bit picture the right way up, as ApplyOrientation would turn it, into a caller's buffer of
// 32-bit words 0xFFRRGGBB in the machine's byte order, destStride bytes apart: a display's own layout,
// reached in the one pass that turns it. The buffer holds the turned size. Other formats write nothing.
void CopyUpright32(const TBitmap& bitmap, int orientation, std::uint8_t* dest, std::ptrdiff_t destStride);

// Places rows firstRow .. firstRow + rowCount - 1 of a stored picture of 32-bit pixels (width × height in
// all, rows bandStride bytes apart from band on) where they belong once the picture is turned the right
// way up, as CopyUpright32 would put them; the destination holds the turned size. Bands that together
// cover the stored rows fill the whole destination.
void PlaceUpright32(const std::uint8_t* band, std::ptrdiff_t bandStride, int firstRow, int rowCount,
                    int width, int height, int orientation, std::uint8_t* dest, std::ptrdiff_t destStride);

}  // namespace lumora
