// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>

namespace lumora {

class TGraphic;

// What the screen shows of a bitmap or a JPEG picture (decoding the JPEG picture, turned as its EXIF
// orientation says), and whether that is exactly the colour picture the JPEG file decodes to: what a
// wallpaper made from the file would hold. A graphic of another kind, or an empty one, gives a null pixmap.
struct ShownGraphic {
  QPixmap pixmap;
  bool jpegColourPixels = false;
};
ShownGraphic ShowGraphic(TGraphic& graphic);

inline QPixmap PixmapOf(TGraphic& graphic) {
  return ShowGraphic(graphic).pixmap;
}

}  // namespace lumora
