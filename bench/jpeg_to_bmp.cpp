// SPDX-License-Identifier: GPL-3.0-or-later
// Converts a JPEG file into a BMP file the way applying a wallpaper does: load, assign to a bitmap
// (which decodes), save the bitmap. Timed and measured from outside by run_jpeg_to_bmp.sh.
//
// With --no-copy it saves the image's decoded bitmap itself, skipping the copy that TBitmap::Assign
// makes: the difference between the two runs is what that copy costs.

#include <cstdio>
#include <exception>
#include <string>

#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"

int main(int argc, char** argv) {
  const bool noCopy = argc == 4 && std::string(argv[1]) == "--no-copy";
  if (argc != 3 && !noCopy) {
    std::fprintf(stderr, "usage: %s [--no-copy] input.jpg output.bmp\n", argv[0]);
    return 2;
  }
  if (noCopy) ++argv;
  try {
    if (noCopy) {
      lumora::TJPEGImage jpeg;
      jpeg.LoadFromFile(argv[1]);
      // Saving does not change the bitmap; TGraphic's save is simply not const.
      const_cast<lumora::TBitmap&>(jpeg.DecodedBitmap()).SaveToFile(argv[2]);
      return 0;
    }
    lumora::TBitmap bitmap;
    {
      lumora::TJPEGImage jpeg;
      jpeg.LoadFromFile(argv[1]);
      bitmap.Assign(jpeg);
    }
    bitmap.SaveToFile(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
