// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/preview_picture.h"

#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"
#include "toolkit/files.h"

namespace lumora {

void LoadPreviewPicture(const std::string& fileName, const std::string& jpegCopy, TPicture& picture) {
  if (ExtractFileExt(fileName) != ".bmp") {
    picture.LoadFromFile(fileName);
    return;
  }
  {
    TBitmap bitmap;
    bitmap.LoadFromFile(fileName);
    TJPEGImage copy;
    copy.Assign(bitmap);
    copy.SaveToFile(jpegCopy);
  }
  picture.LoadFromFile(jpegCopy);
}

}  // namespace lumora
