// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the root window from a process of its own, for tests that check what outlives the painter and for
// timing paints of a picture already in memory: root_paint_tool centred|stretched|tiled (FILE.bmp | WxH)
// [--no-shm] [--repeat N]. A WxH picture is a made-up gradient. Prints one line per paint, in milliseconds.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/x11/desktop_wallpaper_x11.h"
#include "toolkit/bitmap.h"
#include "toolkit/pixel_rows.h"

using lumora::TBitmap;
using lumora::platform::DisplayStyle;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s centred|stretched|tiled FILE.bmp|WxH [--no-shm] [--repeat N]\n", argv[0]);
    return 2;
  }
  const std::string style = argv[1];
  const DisplayStyle layout = style == "stretched" ? DisplayStyle::Stretched
                              : style == "tiled"   ? DisplayStyle::Tiled
                                                   : DisplayStyle::Centred;
  TBitmap picture;
  int width = 0;
  int height = 0;
  if (std::sscanf(argv[2], "%dx%d", &width, &height) == 2) {
    picture.SetSize(width, height);
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = picture.ScanLine(y);
      for (int x = 0; x < width; ++x) {
        row[3 * x] = static_cast<std::uint8_t>(x);
        row[3 * x + 1] = static_cast<std::uint8_t>(y);
        row[3 * x + 2] = static_cast<std::uint8_t>(x ^ y);
      }
    }
  } else {
    picture.LoadFromFile(argv[2]);
  }
  lumora::platform::RootPaintOptions options;
  int repeat = 1;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-shm") == 0) options.sharedMemory = false;
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::atoi(argv[++i]);
  }
  for (int i = 0; i < repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!lumora::platform::PaintRootWallpaper(lumora::RowsOf(picture), layout, options)) {
      std::fprintf(stderr, "painting failed\n");
      return 1;
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", took.count());
  }
  return 0;
}
