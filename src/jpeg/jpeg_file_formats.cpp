// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpeg/jpeg_file_formats.h"

#include "jpeg/jpeg_image.h"
#include "toolkit/picture.h"

namespace lumora {

JpegFileFormats::JpegFileFormats() {
  for (const char* extension : {"jpeg", "jpg"}) {
    TPicture::RegisterFileFormat(extension, kJpegFileDescription,
                                 [] { return std::unique_ptr<TGraphic>(std::make_unique<TJPEGImage>()); });
  }
}

JpegFileFormats::~JpegFileFormats() {
  for (const char* extension : {"jpeg", "jpg"}) TPicture::UnregisterFileFormat(extension);
}

}  // namespace lumora
