// SPDX-License-Identifier: GPL-3.0-or-later
// The wallpaper list as a person uses it in the real window: the first start's pictures, the preview and
// its dragging, the buttons with their dialogs and messages, and the list kept from one start to the next.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class WallpaperListE2e : public LumoraSessionTest {
 protected:
  void SetUp() override {
    LumoraSessionTest::SetUp();
    if (IsSkipped()) return;
    fs::create_directories(S().Dir() / "img");
  }

  // A solid picture drawn by ImageMagick; the extension picks the kind.
  std::string Picture(const std::string& name, const std::string& colour) {
    const std::string path = S().Dir() / name;
    const std::string kind = name.ends_with(".bmp") ? "BMP3:" : "";
    EXPECT_EQ(RunProgram({"/usr/bin/convert", "-size", "200x150", "xc:" + colour, kind + path}).exitCode, 0);
    return path;
  }
  // Clicks the button that opens the file dialog with that title, types a file name into it and accepts it
  // with Return, as a person at the keyboard would (the keys go to the focused window). A click that lands
  // while the window is still leaving the previous dialog is lost: click again. A dialog that has only just
  // appeared may not take keys yet: type again until it goes.
  void AnswerFileDialog(unsigned long window, int left, int top, const std::string& title,
                        const std::string& name) {
    std::optional<unsigned long> shown;
    for (int click = 0; click < 3 && !shown; ++click) {
      ClickButton(window, left, top);
      shown = D().WaitForWindow(title + ".*", 5s);
    }
    ASSERT_TRUE(shown) << title << "\n" << Log();
    for (int attempt = 0; attempt < 4; ++attempt) {
      const auto dialog = D().WaitForWindow(title + ".*", 10s);
      ASSERT_TRUE(dialog) << title << "\n" << Log();
      std::this_thread::sleep_for(500ms);
      D().Run({"xdotool", "windowfocus", "--sync", std::to_string(*dialog)});
      D().Run({"xdotool", "key", "ctrl+a"});
      D().Run({"xdotool", "type", "--delay", "5", name});
      D().Run({"xdotool", "key", "Return"});
      if (D().WaitUntilGone(title + ".*", 3s)) return;
    }
    FAIL() << "the dialog " << title << " stayed";
  }
  // Whether the window shows about that colour at a point (JPEG pictures come back a little off).
  bool ShowsColour(unsigned long window, int x, int y, int r, int g, int b) {
    const std::string shot = S().Dir() / "shot.png";
    if (!D().Screenshot(window, shot)) return false;
    const auto shown = PixelAt(shot, x, y);
    if (!shown) return false;
    return std::abs((*shown)[0] - r) < 24 && std::abs((*shown)[1] - g) < 24 && std::abs((*shown)[2] - b) < 24;
  }
  // Whether the window comes to show about that colour at a point within five seconds.
  bool WaitForColour(unsigned long window, int x, int y, int r, int g, int b) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!ShowsColour(window, x, y, r, g, b)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(100ms);
    }
    return true;
  }
  static bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 50 && !fs::exists(path); ++i) std::this_thread::sleep_for(100ms);
    return fs::exists(path);
  }
};

TEST_F(WallpaperListE2e, FirstStartListsTheSamplesPreviewsDragsAndTheListComesBackNextTime) {
  for (const auto& sample : fs::directory_iterator(std::string(LUMORA_SOURCE_DIR) + "/data/img")) {
    fs::copy_file(sample.path(), S().Dir() / ("img/" + sample.path().filename().string()));
  }
  fs::rename(Picture("red.jpg", "#ff0000"), S().Dir() / "img/red.jpg");
  fs::rename(Picture("blue.bmp", "#0000ff"), S().Dir() / "img/blue.bmp");
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();

  // dawn, lagoon, red, sky, then the bitmaps: blue, tiles.
  ClickRow(*main, 2);
  EXPECT_TRUE(WaitForColour(*main, 340, 30, 255, 0, 0)) << Log();
  // Dragged 30 pixels right and 20 down; the next picture shows at the same place.
  D().Run({"xdotool",
           "mousemove",
           "--window",
           std::to_string(*main),
           "400",
           "100",
           "mousedown",
           "1",
           "mousemove",
           "--window",
           std::to_string(*main),
           "415",
           "110",
           "mousemove",
           "--window",
           std::to_string(*main),
           "430",
           "120",
           "mouseup",
           "1"});
  ClickRow(*main, 4);
  ASSERT_TRUE(WaitForFile(S().Dir() / "zodeveda.jpg")) << Log();
  EXPECT_TRUE(WaitForColour(*main, 375, 55, 0, 0, 255));
  EXPECT_FALSE(ShowsColour(*main, 340, 30, 0, 0, 255));

  ClickButton(*main, 522, 528);  // "退出"
  ASSERT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  const std::string img = S().Dir() / "img/";
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), img + "dawn.jpg\r\n" + img + "lagoon.jpg\r\n" + img +
                                                           "red.jpg\r\n" + img + "sky.jpg\r\n" + img +
                                                           "blue.bmp\r\n" + img + "tiles.bmp\r\n");

  // The next start reads the saved list, a name that is not UTF-8 included, and writes it back whole.
  WriteWholeFile(S().Dir() / "zodeveda.orl", img + "\xD6\xD0\xCE\xC4.jpg\n" + img + "red.jpg");
  lumora = S().Start();
  main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickButton(*main, 522, 528);
  ASSERT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"),
            img + "\xD6\xD0\xCE\xC4.jpg\r\n" + img + "red.jpg\r\n");
}

TEST_F(WallpaperListE2e, ButtonsDialogsAndMessagesEditSaveAndOpenTheList) {
  S().MarkNotFirstRun();
  const std::string red = Picture("red.jpg", "#ff0000"), blue = Picture("blue.bmp", "#0000ff");
  const std::string green = Picture("green.jpg", "#00ff00");
  WriteWholeFile(S().Dir() / "other.orl", red + "\n" + blue + "\n" + green);
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();

  ClickButton(*main, 168, 216);  // "删除" with nothing selected
  ASSERT_TRUE(D().AnswerMessageBox("消息提示")) << Log();
  ClickButton(*main, 88, 216);  // "保存" of an empty list
  ASSERT_TRUE(D().AnswerMessageBox("消息提示")) << Log();

  AnswerFileDialog(*main, 8, 184, "添加一个或多个图象文件", blue);  // "添加"
  // "保存" under a name without extension
  AnswerFileDialog(*main, 88, 216, "将当前墙纸列表保存为Lumora墙纸列表文件", S().Dir() / "mine");
  EXPECT_EQ(ReadWholeFile(S().Dir() / "mine.orl"), blue + "\r\n") << Log();

  // "打开" a list with LF line ends and none after the last line
  AnswerFileDialog(*main, 8, 216, "打开已有的Lumora墙纸列表文件", S().Dir() / "other.orl");
  ClickRow(*main, 2);
  ClickButton(*main, 168, 184);  // "上移": red, green, blue
  ClickRow(*main, 0);
  ClickButton(*main, 168, 184);
  ASSERT_TRUE(D().AnswerMessageBox("消息提示")) << Log();  // already at the top
  ClickButton(*main, 168, 216);                            // "删除" red: green, blue
  ClickButton(*main, 522, 528);                            // "退出"
  ASSERT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), green + "\r\n" + blue + "\r\n");
}

// A user who has run Lumora elsewhere (the mark is in the store) starts it in a new data directory: its img/
// is listed. The list cleared with "清空" and left with "退出" comes back empty, neither the old list nor
// the pictures of img/ again.
TEST_F(WallpaperListE2e, NewDirectoryListsItsPicturesAndAClearedListStaysClearedAcrossAStart) {
  S().MarkNotFirstRun();
  fs::rename(Picture("red.jpg", "#ff0000"), S().Dir() / "img/red.jpg");
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickButton(*main, 522, 528);  // "退出"
  ASSERT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), S().Dir() / "img/red.jpg\r\n");

  lumora = S().Start();
  main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickButton(*main, 248, 216);  // "清空"
  ClickButton(*main, 522, 528);  // "退出"
  ASSERT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_TRUE(fs::exists(S().Dir() / "zodeveda.orl"));
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), "");

  lumora = S().Start();
  main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  ClickButton(*main, 522, 528);
  ASSERT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), "");
}

// A folder named like a picture (as a first run lists it) and a named pipe of such a name: each preview says
// so in a box at once, the window goes on previewing, and a termination signal still saves and ends.
TEST_F(WallpaperListE2e, FolderOrPipeNamedLikeAPictureIsReportedAndTheWindowGoesOn) {
  S().MarkNotFirstRun();
  fs::create_directories(S().Dir() / "img/x.jpg");
  fs::create_directories(S().Dir() / "pipe");
  ASSERT_EQ(::mkfifo((S().Dir() / "pipe/x.jpg").c_str(), 0600), 0);
  const std::string red = Picture("red.jpg", "#ff0000");
  const std::string list = S().Dir() / "img/x.jpg\r\n" + S().Dir() / "pipe/x.jpg\r\n" + red + "\r\n";
  WriteWholeFile(S().Dir() / "zodeveda.orl", list);
  auto lumora = S().Start();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();

  for (int row : {0, 1}) {
    SCOPED_TRACE(row);
    ClickRow(*main, row);
    ASSERT_TRUE(D().WaitForWindow("错误提示", 10s)) << Log();
    ASSERT_TRUE(D().AnswerMessageBox("错误提示")) << Log();
  }
  ClickRow(*main, 2);
  bool shown = false;
  for (int i = 0; i < 20 && !shown; ++i) {
    std::this_thread::sleep_for(250ms);
    shown = ShowsColour(*main, 340, 30, 255, 0, 0);
  }
  EXPECT_TRUE(shown) << Log();
  ClickRow(*main, 1);
  ASSERT_TRUE(D().WaitForWindow("错误提示", 10s)) << Log();
  ASSERT_TRUE(D().AnswerMessageBox("错误提示")) << Log();
  ASSERT_EQ(::kill(lumora->Pid(), SIGTERM), 0);
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), list);
}

}  // namespace
}  // namespace lumora::test
