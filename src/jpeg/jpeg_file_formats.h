// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace lumora {

// Makes pictures load ".jpg" and ".jpeg" files as TJPEGImage, for as long as the object lives.
class JpegFileFormats {
 public:
  JpegFileFormats();
  ~JpegFileFormats();
  JpegFileFormats(const JpegFileFormats&) = delete;
  JpegFileFormats& operator=(const JpegFileFormats&) = delete;
};

}  // namespace lumora
