// SPDX-License-Identifier: GPL-3.0-or-later
// "设为墙纸" on an X session without a desktop environment: the root window shows the picture in the chosen
// style, the wallpaper file holds the decoder's exact pixels, and the style holds at the next start.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class WallpaperE2e : public LumoraSessionTest {
 protected:
  // Red, blue / green, yellow quarters, on JPEG block edges so that each stays one colour.
  std::string Quarters(const std::string& name) {
    const std::string path = S().Dir() / name;
    EXPECT_EQ(RunProgram({"/usr/bin/convert", "-size", "64x48", "xc:red", "-fill", "blue", "-draw",
                          "rectangle 32,0 63,23", "-fill", "lime", "-draw", "rectangle 0,24 31,47", "-fill",
                          "yellow", "-draw", "rectangle 32,24 63,47", "jpg:" + path})
                  .exitCode,
              0);
    return path;
  }
  // Waits until the root window shows about that colour at a point.
  bool RootShows(int x, int y, const std::string& colour) {
    for (int i = 0; i < 50; ++i) {
      if (D().Screenshot(0, S().Dir() / "root.png") && ColourAt(S().Dir() / "root.png", x, y) == colour)
        return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }
  // The colour at a point of a picture, named by its strongest channels ("red", "blue", "lime"…).
  static std::string ColourAt(const std::string& picture, int x, int y) {
    const auto pixel = PixelAt(picture, x, y);
    if (!pixel) return "unreadable";
    const auto [r, g, b] = *pixel;
    const bool red = r > 192, green = g > 192, blue = b > 192;
    const std::string rgb = std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b);
    if (r > 64 && !red) return rgb;
    if (g > 64 && !green) return rgb;
    if (b > 64 && !blue) return rgb;
    return red && green ? "yellow" : red ? "red" : green ? "lime" : blue ? "blue" : "black";
  }
  // The number of pixels in which two pictures differ (-1 when they cannot be compared).
  int PixelsDiffering(const std::string& a, const std::string& b) {
    const RunResult result = RunProgram({"/usr/bin/compare", "-metric", "AE", a, b, "null:"});
    int count = -1;
    return std::sscanf(result.output.c_str(), "%d", &count) == 1 ? count : -1;
  }
};

TEST_F(WallpaperE2e, EachStylePaintsTheRootFromTheDecodersPixelsAndHoldsAtTheNextStart) {
  S().MarkNotFirstRun();
  const std::string jpeg = Quarters("IMG.JPG");
  WriteWholeFile(S().Dir() / "anim.gif", "GIF89a");
  WriteWholeFile(S().Dir() / "broken.jpg", "no JPEG here");
  const std::string lime = S().Dir() / "lime.jpg";
  ASSERT_EQ(RunProgram({"/usr/bin/convert", "-size", "64x48", "xc:lime", "jpg:" + lime}).exitCode, 0);
  WriteWholeFile(S().Dir() / "zodeveda.orl",
                 jpeg + "\r\n" + S().Dir() / "anim.gif\r\n" + S().Dir() / "broken.jpg\r\n" + lime + "\r\n");
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickRow(*main, 0);
  ClickButton(*main, 8, 250);  // "设为墙纸"; centred, as a fresh settings store says

  // Centred on the 1280 × 1024 screen, under the window: seen once the window is in the tray. Pixel for
  // pixel what djpeg decodes.
  D().Click(*main, 500, 460);  // "最小化到托盘"
  ASSERT_TRUE(S().WaitUntilMainWindowHidden());
  ASSERT_TRUE(RootShows(620, 495, "red")) << Log();
  const std::string bmp = S().Dir() / "zodeveda.bmp";
  ASSERT_EQ(RunProgram({"sh", "-c", "djpeg -dct float -bmp '" + jpeg + "' > '" + S().Dir() / "djpeg.bmp'"})
                .exitCode,
            0);
  EXPECT_EQ(PixelsDiffering(bmp, S().Dir() / "djpeg.bmp"), 0);
  ASSERT_EQ(RunProgram({"/usr/bin/convert", S().Dir() / "root.png", "-crop", "64x48+608+488", "+repage",
                        S().Dir() / "centre.png"})
                .exitCode,
            0);
  EXPECT_EQ(PixelsDiffering(S().Dir() / "centre.png", bmp), 0);
  EXPECT_EQ(ColourAt(S().Dir() / "root.png", 100, 100), "black");
  const auto icon = S().WaitForTrayIcon();
  ASSERT_TRUE(icon);
  D().Click(*icon, 8, 8);
  main = S().WaitForMainWindow(5s);
  ASSERT_TRUE(main);

  const std::string written = ReadWholeFile(bmp);
  // Points outside the window, wherever it came back (in the middle, or at the top-left without a window
  // manager).
  D().Click(*main, 30, 376);  // "拉伸": the quarters fill the screen
  EXPECT_TRUE(RootShows(620, 100, "red"));
  EXPECT_EQ(ColourAt(S().Dir() / "root.png", 1000, 250), "blue");
  EXPECT_EQ(ColourAt(S().Dir() / "root.png", 300, 900), "lime");
  D().Click(*main, 30, 408);  // "平铺": repeated from the top-left corner
  EXPECT_TRUE(RootShows(15 * 64 + 40, 10, "blue"));
  EXPECT_EQ(ColourAt(S().Dir() / "root.png", 15 * 64 + 10, 48 + 30), "lime");
  EXPECT_EQ(ReadWholeFile(bmp), written);

  ClickButton(*main, 522, 528);  // "退出"
  ASSERT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  D().Run({"xsetroot", "-solid", "black"});
  ASSERT_TRUE(RootShows(15 * 64 + 40, 10, "black"));

  // The next start finds the tiled style and shows the wallpaper in it again.
  lumora = S().Start();
  main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  EXPECT_TRUE(RootShows(15 * 64 + 40, 10, "blue")) << Log();

  // Another kind of file, then a broken JPEG: told (their previews fail first), and nothing changes.
  ClickRow(*main, 1);
  AnswerTitledBox("the GIF file's preview");
  ClickButton(*main, 8, 250);
  ASSERT_TRUE(D().AnswerMessageBox("错误提示.*")) << Log();
  ClickRow(*main, 2);
  AnswerTitledBox("the broken file's preview");
  ClickButton(*main, 8, 250);
  AnswerTitledBox("setting the broken file");
  EXPECT_EQ(ReadWholeFile(bmp), written);
  EXPECT_TRUE(RootShows(15 * 64 + 40, 10, "blue"));

  // A wallpaper file that cannot be replaced (a directory in its place, which even root cannot rename a
  // file over): told, and the root keeps the old picture although its pixels were ready first.
  std::filesystem::remove(bmp);
  std::filesystem::create_directories(bmp + "/in-the-way");
  ClickRow(*main, 3);
  ClickButton(*main, 8, 250);
  AnswerTitledBox("the failed write of the wallpaper file");
  EXPECT_TRUE(RootShows(15 * 64 + 40, 10, "blue"));
  EXPECT_TRUE(std::filesystem::is_directory(bmp));
  ClickButton(*main, 522, 528);
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
}

}  // namespace
}  // namespace lumora::test
