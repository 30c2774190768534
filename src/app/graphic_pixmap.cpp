// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/graphic_pixmap.h"

#include <QImage>
#include <array>
#include <cstddef>
#include <cstdint>
#include <future>
#include <utility>
#include <vector>

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

// A colour photo straight from the decoder into the screen's 32-bit layout, the right way up as its camera
// noted: an upright photo's rows are decoded in place; a turned one's come a band at a time, each put in
// its turned places on a second thread while the decoder fills the next band. No bitmap of the stored
// pixels is ever made. Null for pictures that are not colour.
QImage UprightColourImage(TJPEGImage& jpeg) {
  int orientation = jpeg.ExifOrientation();
  if (orientation < eoNormal || orientation > eoRotate270) orientation = eoNormal;
  QImage upright;
  std::array<std::vector<std::uint8_t>, 2> bands;
  std::size_t filling = 0;  // the band the decoder writes into; the other one may be being placed
  std::ptrdiff_t bandStride = 0;
  std::uint8_t* pixels = nullptr;
  std::ptrdiff_t pixelStride = 0;
  int width = 0;
  int height = 0;
  // Declared after the bands: leaving early still waits for the placing before they go.
  std::future<void> placing;
  const TScreenRowTarget target{
      [&](int storedWidth, int storedHeight) {
        width = storedWidth;
        height = storedHeight;
        const bool swaps = orientation >= eoTranspose;
        upright = QImage(swaps ? height : width, swaps ? width : height, QImage::Format_RGB32);
        if (upright.isNull()) throw EOutOfResources("Not enough memory to show the picture");
        pixels = upright.bits();
        pixelStride = upright.bytesPerLine();
        bandStride = std::ptrdiff_t{width} * 4;
        if (orientation == eoNormal) return;
        for (auto& band : bands) band.resize(static_cast<std::size_t>(bandStride) * kScreenBandRows);
      },
      [&](int row) {
        return orientation == eoNormal ? pixels + row * pixelStride
                                       : bands[filling].data() + (row % kScreenBandRows) * bandStride;
      },
      [&](int firstRow, int rowCount) {
        if (orientation == eoNormal) return;
        // The band about to be filled next must have been placed.
        if (placing.valid()) placing.get();
        placing = std::async(std::launch::async, [&, band = bands[filling].data(), firstRow, rowCount] {
          PlaceUpright32(band, bandStride, firstRow, rowCount, width, height, orientation, pixels,
                         pixelStride);
        });
        filling ^= 1;
      }};
  const bool decoded = jpeg.DecodeScreenRows(target);
  if (placing.valid()) placing.get();
  if (!decoded) return {};
  return upright;
}

}  // namespace

ShownGraphic ShowGraphic(TGraphic& graphic) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&graphic)) return {PixmapOfBitmap(*bitmap)};
  auto* jpeg = dynamic_cast<TJPEGImage*>(&graphic);
  if (jpeg == nullptr || jpeg->GetEmpty()) return {};
  if (QImage upright = UprightColourImage(*jpeg); !upright.isNull()) {
    // The pixmap adopts the image instead of converting it.
    return {QPixmap::fromImage(std::move(upright)), true};
  }
  // Gray and CMYK pictures, and 8-bit output: the decoded bitmap, turned in a copy that shares nothing it
  // changes.
  TBitmap upright;
  upright.Assign(jpeg->DecodedBitmap());
  ApplyOrientation(upright, jpeg->ExifOrientation());
  return {PixmapOfBitmap(upright)};
}

}  // namespace lumora
