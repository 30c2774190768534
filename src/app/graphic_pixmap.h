// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>

namespace lumora {

class TGraphic;

// What the screen shows of a bitmap or a JPEG picture (decoding the JPEG picture if it has not been, and
// turning it as its EXIF orientation says).
// A graphic of another kind, or an empty one, gives a null pixmap.
QPixmap PixmapOf(TGraphic& graphic);

}  // namespace lumora
