// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string_view>

#include "toolkit/bitmap.h"

namespace lumora {

// A picture's pixels where their owner keeps them: rows top-down, stride bytes apart, read in place. The
// owner keeps them alive and unchanged for as long as the view is used.
struct PixelRows {
  enum class Layout {
    Indexed8,  // one byte, an index into palette
    Bgr24,     // blue, green, red bytes
    Xrgb32,    // a 32-bit word 0x??RRGGBB in the machine's byte order, as screens hold pixels
  };

  const std::uint8_t* first = nullptr;
  std::ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;
  Layout layout = Layout::Bgr24;
  const TPalette* palette = nullptr;  // Indexed8 only

  bool Empty() const { return width <= 0 || height <= 0 || first == nullptr; }
  const std::uint8_t* Row(int y) const { return first + stride * y; }
  int BytesPerPixel() const { return layout == Layout::Indexed8 ? 1 : layout == Layout::Bgr24 ? 3 : 4; }
};

// The bitmap's own rows (pf8bit or pf24bit); empty for an empty bitmap.
PixelRows RowsOf(const TBitmap& bitmap);

// The rows of a BMP file's bytes that hold uncompressed 24-bit pixels, where they lie in those bytes (a
// bottom-up file gives a negative stride): a picture to show without copying or converting it. None for a
// bitmap of any other form, and for bytes that are no whole bitmap.
std::optional<PixelRows> RowsInBmpBytes(std::string_view bytes);

// Writes rows as a BMP file, in the form TBitmap::SaveToStream writes: 8-bit with the palette for indexed
// rows, 24-bit otherwise (the same bytes for Xrgb32 rows as for the Bgr24 rows of the same picture).
// Raises EInvalidGraphic for empty rows, EWriteError when the stream fails.
void SaveBmpRows(const PixelRows& rows, std::ostream& stream);

}  // namespace lumora
