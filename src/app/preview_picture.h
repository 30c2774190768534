// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "toolkit/picture.h"

namespace lumora {

// Loads the picture that previews fileName. A name ending in ".bmp" (exactly so, lower case) is read as
// a bitmap and shown through a JPEG copy written to jpegCopy, which every such preview overwrites; any
// other name is read by the kind its extension names, letter case ignored. Raises the loader's error
// (a missing file, a damaged or unknown picture), and picture then keeps what it held.
void LoadPreviewPicture(const std::string& fileName, const std::string& jpegCopy, TPicture& picture);

}  // namespace lumora
