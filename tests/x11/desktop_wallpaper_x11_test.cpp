// SPDX-License-Identifier: GPL-3.0-or-later
// The bare X11 desktop: the root window read back pixel by pixel after each paint, on servers of our own.
#include "platform/x11/desktop_wallpaper_x11.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/xvfb.h"
#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "toolkit/pixel_rows.h"
#include "toolkit/registry.h"

// Xlib last: its macros (None, Bool, Status…) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

namespace lumora::platform {
namespace {

using test::XvfbServer;

// Fifteen distinct colours, none black: letter 'A' + i stands for Colour(i), '.' for black.
TPaletteEntry Colour(int i) {
  return {static_cast<std::uint8_t>(40 + 13 * i), static_cast<std::uint8_t>(230 - 11 * i),
          static_cast<std::uint8_t>(7 + 17 * i), 0};
}

// 5 × 3:  ABCDE / FGHIJ / KLMNO, from colour `first` on. The indexed copy keeps its colours in reverse
// palette order, so a conversion that ignored the palette would show.
std::unique_ptr<TBitmap> Picture(bool indexed, int first = 0) {
  auto picture = std::make_unique<TBitmap>();
  picture->Clear(indexed ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
  picture->SetSize(5, 3);
  TPalette palette(15);
  for (int i = 0; i < 15; ++i) palette[14 - i] = Colour((first + i) % 15);
  if (indexed) picture->SetPalette(palette);
  for (int i = 0; i < 15; ++i) {
    std::uint8_t* pixel = picture->ScanLine(i / 5) + (indexed ? 1 : 3) * (i % 5);
    const TPaletteEntry& c = palette[14 - i];
    if (indexed) {
      pixel[0] = static_cast<std::uint8_t>(14 - i);
    } else {
      pixel[0] = c.peBlue, pixel[1] = c.peGreen, pixel[2] = c.peRed;
    }
  }
  return picture;
}

// The top-left width × height pixels of a drawable of a depth-24 server as rows of letters (see Colour);
// '?' for any colour not painted by us.
std::string ReadArt(Display* display, Drawable drawable, unsigned width, unsigned height) {
  XImage* image = XGetImage(display, drawable, 0, 0, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return "<unreadable>";
  std::string art;
  for (unsigned row = 0; row < height; ++row) {
    for (unsigned column = 0; column < width; ++column) {
      const unsigned long pixel = XGetPixel(image, static_cast<int>(column), static_cast<int>(row));
      char letter = pixel == 0 ? '.' : '?';
      for (int i = 0; i < 15; ++i) {
        const TPaletteEntry c = Colour(i);
        if (pixel == ((static_cast<unsigned long>(c.peRed) << 16) | (c.peGreen << 8) | c.peBlue))
          letter = static_cast<char>('A' + i);
      }
      art += letter;
    }
    art += '\n';
  }
  XDestroyImage(image);
  return art;
}

Pixmap PropertyPixmap(Display* display, const char* name) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long left = 0;
  unsigned char* data = nullptr;
  Pixmap pixmap = None;
  if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False), 0, 1, False,
                         XA_PIXMAP, &type, &format, &count, &left, &data) == Success &&
      count == 1) {
    pixmap = *reinterpret_cast<Pixmap*>(data);
  }
  if (data != nullptr) XFree(data);
  return pixmap;
}

// Whether the server still holds pixmap; a freed one is the answer expected, so errors stay quiet.
bool PixmapExists(Display* display, Pixmap pixmap) {
  const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  Window root = None;
  int x = 0;
  int y = 0;
  unsigned size[4] = {};
  const bool exists =
      XGetGeometry(display, pixmap, &root, &x, &y, &size[0], &size[1], &size[2], &size[3]) != 0;
  XSetErrorHandler(previous);
  return exists;
}

// What the user sees: the root window itself.
std::string RootArt(const XvfbServer& server) {
  Display* display = XOpenDisplay(server.Display().c_str());
  const int screen = DefaultScreen(display);
  std::string art = ReadArt(display, DefaultRootWindow(display), DisplayWidth(display, screen),
                            DisplayHeight(display, screen));
  XCloseDisplay(display);
  return art;
}

// The picture's pixels as a screen image holds them: 32-bit words 0xFFRRGGBB.
std::vector<std::uint32_t> ScreenPixels(const TBitmap& picture) {
  std::vector<std::uint32_t> words;
  for (int y = 0; y < picture.GetHeight(); ++y) {
    for (int x = 0; x < picture.GetWidth(); ++x) {
      const std::uint8_t* bgr = picture.ScanLine(y) + 3 * x;
      words.push_back(0xff000000 | (std::uint32_t{bgr[2]} << 16) | (bgr[1] << 8) | bgr[0]);
    }
  }
  return words;
}

PixelRows ScreenRows(const std::vector<std::uint32_t>& words, int width, int height) {
  return {reinterpret_cast<const std::uint8_t*>(words.data()),
          4 * std::ptrdiff_t{width},
          width,
          height,
          PixelRows::Layout::Xrgb32,
          nullptr};
}

struct Transport {
  bool sharedMemory;
  PixelRows::Layout layout;
};

class RootPaintTest : public ::testing::TestWithParam<Transport> {
 protected:
  static void SetUpTestSuite() {
    larger_ = std::make_unique<XvfbServer>(7, 5);
    smaller_ = std::make_unique<XvfbServer>(3, 2);
    twoMonitors_ = std::make_unique<XvfbServer>(14, 5);
    manyBands_ = std::make_unique<XvfbServer>(600, 999);
    // Xvfb has one output ("screen"); RandR 1.5 monitors split it as two real screens would.
    const auto options = twoMonitors_->Options();
    for (const auto& monitor : {std::vector<std::string>{"left", "8/80x5/50+0+0", "screen"},
                                std::vector<std::string>{"right", "6/60x5/50+8+0", "none"}}) {
      const auto result =
          test::RunProgram({"xrandr", "--setmonitor", monitor[0], monitor[1], monitor[2]}, options);
      ASSERT_EQ(result.exitCode, 0) << result.output;
    }
  }
  static void TearDownTestSuite() {
    for (auto* server : {&larger_, &smaller_, &twoMonitors_, &manyBands_}) server->reset();
  }

  std::string Paint(const std::unique_ptr<XvfbServer>& server, DisplayStyle layout) {
    const RootPaintOptions options{server->Display(), GetParam().sharedMemory};
    const auto picture = Picture(GetParam().layout == PixelRows::Layout::Indexed8);
    const std::vector<std::uint32_t> words = ScreenPixels(*Picture(false));
    const PixelRows rows =
        GetParam().layout == PixelRows::Layout::Xrgb32 ? ScreenRows(words, 5, 3) : RowsOf(*picture);
    EXPECT_TRUE(PaintRootWallpaper(rows, layout, options));
    return RootArt(*server);
  }

  static inline std::unique_ptr<XvfbServer> larger_, smaller_, twoMonitors_, manyBands_;
};

TEST_P(RootPaintTest, ScreenLargerThanThePicture) {
  EXPECT_EQ(Paint(larger_, DisplayStyle::Centred), ".......\n.ABCDE.\n.FGHIJ.\n.KLMNO.\n.......\n");
  EXPECT_EQ(Paint(larger_, DisplayStyle::Stretched), "ABBCDDE\nABBCDDE\nFGGHIIJ\nKLLMNNO\nKLLMNNO\n");
  EXPECT_EQ(Paint(larger_, DisplayStyle::Tiled), "ABCDEAB\nFGHIJFG\nKLMNOKL\nABCDEAB\nFGHIJFG\n");
}

TEST_P(RootPaintTest, ScreenSmallerThanThePicture) {
  EXPECT_EQ(Paint(smaller_, DisplayStyle::Centred), "BCD\nGHI\n");
  EXPECT_EQ(Paint(smaller_, DisplayStyle::Stretched), "ACE\nKMO\n");
  EXPECT_EQ(Paint(smaller_, DisplayStyle::Tiled), "ABC\nFGH\n");
}

// Monitors of 8 × 5 and 6 × 5 side by side: each gets the picture placed within its own rectangle.
TEST_P(RootPaintTest, EveryMonitorOnItsOwn) {
  EXPECT_EQ(Paint(twoMonitors_, DisplayStyle::Centred),
            "..............\n.ABCDE..ABCDE.\n.FGHIJ..FGHIJ.\n.KLMNO..KLMNO.\n..............\n");
  EXPECT_EQ(Paint(twoMonitors_, DisplayStyle::Stretched),
            "AABCCDEEABCCDE\nAABCCDEEABCCDE\nFFGHHIJJFGHHIJ\nKKLMMNOOKLMMNO\nKKLMMNOOKLMMNO\n");
  EXPECT_EQ(Paint(twoMonitors_, DisplayStyle::Tiled),
            "ABCDEABCABCDEA\nFGHIJFGHFGHIJF\nKLMNOKLMKLMNOK\nABCDEABCABCDEA\nFGHIJFGHFGHIJF\n");
}

// A screen whose rows travel in several bands: every band lands at its own height.
TEST_P(RootPaintTest, ManyBandsOfRows) {
  const std::string art = Paint(manyBands_, DisplayStyle::Stretched);
  std::string blocks;  // 120 × 333 pixels for each pixel of the picture
  for (int y = 0; y < 999; ++y) {
    for (int x = 0; x < 600; ++x) blocks += static_cast<char>('A' + y / 333 * 5 + x / 120);
    blocks += '\n';
  }
  const auto difference = std::mismatch(art.begin(), art.end(), blocks.begin(), blocks.end()).first;
  EXPECT_TRUE(art == blocks) << "first wrong row: " << (difference - art.begin()) / 601;
}

INSTANTIATE_TEST_SUITE_P(Transports, RootPaintTest,
                         ::testing::Values(Transport{true, PixelRows::Layout::Bgr24},
                                           Transport{false, PixelRows::Layout::Bgr24},
                                           Transport{true, PixelRows::Layout::Indexed8},
                                           Transport{true, PixelRows::Layout::Xrgb32},
                                           Transport{false, PixelRows::Layout::Xrgb32}),
                         [](const auto& instance) {
                           const PixelRows::Layout layout = instance.param.layout;
                           return std::string(instance.param.sharedMemory ? "SharedMemory" : "Socket") +
                                  (layout == PixelRows::Layout::Indexed8 ? "Indexed"
                                   : layout == PixelRows::Layout::Bgr24  ? "Bgr"
                                                                         : "Xrgb");
                         });

// A 16-bit server (5-6-5): the picture's channels land in the visual's masks, scaled to their widths.
TEST(RootPaintFormats, SixteenBitScreen) {
  const XvfbServer server(4, 2, 16);
  TBitmap picture;
  picture.SetSize(4, 2);
  for (int i = 0; i < 8; ++i) {  // black, red, green, yellow, blue, magenta, cyan, white
    std::uint8_t* bgr = picture.ScanLine(i / 4) + 3 * (i % 4);
    bgr[0] = i & 4 ? 255 : 0, bgr[1] = i & 2 ? 255 : 0, bgr[2] = i & 1 ? 255 : 0;
  }
  const std::vector<std::uint32_t> words = ScreenPixels(picture);
  // The same picture as bitmap rows and as screen pixels.
  for (const PixelRows& rows : {RowsOf(picture), ScreenRows(words, 4, 2)}) {
    ASSERT_TRUE(PaintRootWallpaper(rows, DisplayStyle::Centred, {server.Display()}));
    Display* display = XOpenDisplay(server.Display().c_str());
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, 4, 2, AllPlanes, ZPixmap);
    std::vector<unsigned long> pixels;
    for (int i = 0; i < 8; ++i) pixels.push_back(XGetPixel(image, i % 4, i / 4));
    EXPECT_EQ(pixels,
              (std::vector<unsigned long>{0, 0xf800, 0x07e0, 0xffe0, 0x001f, 0xf81f, 0x07ff, 0xffff}));
    XDestroyImage(image);
    XCloseDisplay(display);
  }
}

// The backend as the program uses it: settings in our own store, pictures from files.
class X11RootWallpaperTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new XvfbServer(7, 5); }
  static void TearDownTestSuite() { delete server_; }
  void SetUp() override { SetRegistryStorePath(dir_ / "registry.ini"); }
  void TearDown() override { SetRegistryStorePath(""); }

  static std::string Recorded() {
    TRegistry registry;
    registry.OpenKey("\\Control Panel\\desktop", false);
    return registry.ReadString("Wallpaper");
  }

  std::unique_ptr<DesktopWallpaper> desktop_ = CreateX11RootWallpaper({server_->Display()});
  test::ScratchDirectory dir_;
  static inline XvfbServer* server_ = nullptr;
};

TEST_F(X11RootWallpaperTest, StyleLivesUnderControlPanelDesktop) {
  EXPECT_EQ(desktop_->ReadStyle(), (DisplayStylePair{"", ""}));
  desktop_->WriteStyle(kTiledPair);
  EXPECT_EQ(desktop_->ReadStyle(), kTiledPair);
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey("\\Control Panel\\desktop", false));
  EXPECT_EQ(registry.ReadString("TileWallPaper"), "1");
  EXPECT_EQ(registry.ReadString("WallpaperStyle"), "0");

  test::WriteWholeFile(dir_ / "file", "");
  SetRegistryStorePath(dir_ / "file/registry.ini");
  EXPECT_THROW(desktop_->WriteStyle(kCentredPair), Exception);
}

TEST_F(X11RootWallpaperTest, FileShownInTheStyleOfTheSettingsAndRecorded) {
  const std::string file = dir_ / "wallpaper.bmp";
  Picture(false)->SaveToFile(file);
  desktop_->WriteStyle(kCentredPair);
  ASSERT_TRUE(desktop_->SetWallpaper(file, nullptr));
  EXPECT_EQ(RootArt(*server_), ".......\n.ABCDE.\n.FGHIJ.\n.KLMNO.\n.......\n");
  EXPECT_EQ(Recorded(), file);

  desktop_->WriteStyle(kTiledPair);
  ASSERT_TRUE(desktop_->Reapply());
  EXPECT_EQ(RootArt(*server_), "ABCDEAB\nFGHIJFG\nKLMNOKL\nABCDEAB\nFGHIJFG\n");

  // The same path with new content shows the new content.
  Picture(false, 1)->SaveToFile(file);
  ASSERT_TRUE(desktop_->SetWallpaper(file, nullptr));
  EXPECT_EQ(RootArt(*server_), "BCDEFBC\nGHIJKGH\nLMNOALM\nBCDEFBC\nGHIJKGH\n");

  // A picture handed over is painted as it is, without reading the file.
  const auto handed = Picture(true, 2);
  const PixelRows handedRows = RowsOf(*handed);
  ASSERT_TRUE(desktop_->SetWallpaper(dir_ / "not-written-yet.bmp", &handedRows));
  EXPECT_EQ(RootArt(*server_), "CDEFGCD\nHIJKLHI\nMNOABMN\nCDEFGCD\nHIJKLHI\n");
  EXPECT_EQ(Recorded(), dir_ / "not-written-yet.bmp");
}

// A stored pair that is none of the three is shown the way every desktop backend writes it: tiling wins.
TEST_F(X11RootWallpaperTest, APairNoneOfTheThreeIsShownByTheOneRule) {
  const std::string file = dir_ / "wallpaper.bmp";
  Picture(false)->SaveToFile(file);
  desktop_->WriteStyle({"1", "2"});
  ASSERT_TRUE(desktop_->SetWallpaper(file, nullptr));
  EXPECT_EQ(RootArt(*server_), "ABCDEAB\nFGHIJFG\nKLMNOKL\nABCDEAB\nFGHIJFG\n");
  desktop_->WriteStyle({"", "2"});
  ASSERT_TRUE(desktop_->Reapply());
  EXPECT_EQ(RootArt(*server_), "ABBCDDE\nABBCDDE\nFGGHIIJ\nKLLMNNO\nKLLMNNO\n");
}

TEST_F(X11RootWallpaperTest, RefusalLeavesRootAndRecordAsTheyWere) {
  EXPECT_FALSE(desktop_->Reapply());  // nothing recorded yet
  const std::string file = dir_ / "wallpaper.bmp";
  Picture(false)->SaveToFile(file);
  ASSERT_TRUE(desktop_->SetWallpaper(file, nullptr));
  const std::string before = RootArt(*server_);

  test::WriteWholeFile(dir_ / "text.bmp", "not a bitmap");
  EXPECT_FALSE(desktop_->SetWallpaper(dir_ / "text.bmp", nullptr));
  EXPECT_FALSE(desktop_->SetWallpaper(dir_ / "missing.bmp", nullptr));
  auto noServer = CreateX11RootWallpaper({":4093"});
  EXPECT_FALSE(noServer->SetWallpaper(file, nullptr));
  EXPECT_EQ(RootArt(*server_), before);
  EXPECT_EQ(Recorded(), file);
}

// The wallpaper outlives the process that painted it. Each paint frees the one before: twenty more leave
// the server's clients and their pixmap memory as they were (X-Resource). feh, an established root
// setter, frees ours in turn.
TEST(RootWallpaperLifetime, OutlivesThePainterUntilTheNextSetter) {
  const XvfbServer server(7, 5);
  const test::ScratchDirectory dir;
  Picture(false)->SaveToFile(dir / "wallpaper.bmp");
  const auto result =
      test::RunProgram({LUMORA_ROOT_PAINT_TOOL, "tiled", dir / "wallpaper.bmp"}, server.Options());
  ASSERT_EQ(result.exitCode, 0) << result.output;

  Display* display = XOpenDisplay(server.Display().c_str());
  const std::string tiled = "ABCDEAB\nFGHIJFG\nKLMNOKL\nABCDEAB\nFGHIJFG\n";
  EXPECT_EQ(RootArt(server), tiled);
  const Pixmap left = PropertyPixmap(display, "_XROOTPMAP_ID");
  EXPECT_EQ(PropertyPixmap(display, "ESETROOT_PMAP_ID"), left);
  EXPECT_EQ(ReadArt(display, left, 7, 5), tiled);

  auto pixmapBytes = [&](int& clients) {
    XResClient* list = nullptr;
    XResQueryClients(display, &clients, &list);
    unsigned long total = 0;
    for (int i = 0; i < clients; ++i) {
      unsigned long bytes = 0;
      XResQueryClientPixmapBytes(display, list[i].resource_base, &bytes);
      total += bytes;
    }
    XFree(list);
    return total;
  };
  int clientsBefore = 0;
  const unsigned long bytesBefore = pixmapBytes(clientsBefore);
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(PaintRootWallpaper(RowsOf(*Picture(false)), DisplayStyle::Centred, {server.Display()}));
    // Checked at once: a later painter may be given the same ids again.
    if (i == 0) {
      EXPECT_FALSE(PixmapExists(display, left));
    }
  }
  int clientsAfter = 0;
  EXPECT_EQ(pixmapBytes(clientsAfter), bytesBefore);
  EXPECT_EQ(clientsAfter, clientsBefore);

  if (test::ProgramAvailable("feh")) {
    const Pixmap ours = PropertyPixmap(display, "_XROOTPMAP_ID");
    ASSERT_EQ(test::RunProgram({"feh", "--no-fehbg", "--bg-tile", dir / "wallpaper.bmp"}, server.Options())
                  .exitCode,
              0);
    EXPECT_EQ(RootArt(server), tiled);
    EXPECT_FALSE(PixmapExists(display, ours));
  }
  XCloseDisplay(display);
}

}  // namespace
}  // namespace lumora::platform
