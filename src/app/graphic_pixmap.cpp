// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/graphic_pixmap.h"

#include <QImage>
#include <utility>

#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "toolkit/orientation.h"

namespace lumora {

namespace {

QPixmap PixmapOfBitmap(const TBitmap& bitmap) {
  if (bitmap.GetEmpty()) return {};
  const bool palette = bitmap.GetPixelFormat() == TPixelFormat::pf8bit;
  // Wraps the bitmap's rows without copying them; the pixmap takes its own copy in the screen's format.
  QImage rows(bitmap.ScanLine(0), bitmap.GetWidth(), bitmap.GetHeight(), bitmap.RowStride(),
              palette ? QImage::Format_Indexed8 : QImage::Format_BGR888);
  if (palette) {
    QList<QRgb> colours;
    for (const TPaletteEntry& entry : bitmap.GetPalette())
      colours.push_back(qRgb(entry.peRed, entry.peGreen, entry.peBlue));
    // Indexes beyond the palette show black, as they read in the bitmap files themselves.
    while (colours.size() < 256) colours.push_back(qRgb(0, 0, 0));
    rows.setColorTable(colours);
  }
  return QPixmap::fromImage(rows);
}

}  // namespace

QPixmap PixmapOf(TGraphic& graphic) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&graphic)) return PixmapOfBitmap(*bitmap);
  auto* jpeg = dynamic_cast<TJPEGImage*>(&graphic);
  if (jpeg == nullptr || jpeg->GetEmpty()) return {};
  const TBitmap& decoded = jpeg->DecodedBitmap();
  const int orientation = jpeg->ExifOrientation();
  if (decoded.GetPixelFormat() == TPixelFormat::pf24bit && !decoded.GetEmpty()) {
    // A photo shows the right way up, as its camera noted. Turning it straight into the screen's 32-bit
    // layout is the one pass over the pixels; the pixmap then adopts the image instead of converting it.
    const bool swaps = orientation >= eoTranspose && orientation <= eoRotate270;
    QImage upright(swaps ? decoded.GetHeight() : decoded.GetWidth(),
                   swaps ? decoded.GetWidth() : decoded.GetHeight(), QImage::Format_RGB32);
    if (upright.isNull()) throw EOutOfResources("Not enough memory to show the picture");
    CopyUpright32(decoded, orientation, upright.bits(), upright.bytesPerLine());
    return QPixmap::fromImage(std::move(upright));
  }
  // The turned copy shares nothing it changes.
  TBitmap upright;
  upright.Assign(decoded);
  ApplyOrientation(upright, orientation);
  return PixmapOfBitmap(upright);
}

}  // namespace lumora
