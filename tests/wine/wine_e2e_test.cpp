// SPDX-License-Identifier: GPL-3.0-or-later
// lumora.exe under Wine on a private X server: Wine's windows are X windows, so the program is driven as
// the Linux one is, and what it asked of Windows is read back from Wine (the registry, the files).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "support/desktop_driver.h"
#include "support/process.h"
#include "support/xvfb.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMainTitle = "^Lumora v3\\.1$";
// A picture named in Chinese: on a Chinese Windows its name is GBK text in the list file.
const std::string kJpegName = "风景.jpg";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

class WineE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = Env("LUMORA_WINDOWS_PROGRAM");
    if (program_.empty() || Env("WINEPREFIX").empty())
      GTEST_SKIP() << "needs LUMORA_WINDOWS_PROGRAM and WINEPREFIX (scripts/test-windows.sh sets both)";
    for (const char* tool : {"wine", "xdotool", "Xvfb", "convert", "djpeg"})
      if (!ProgramAvailable(tool)) GTEST_SKIP() << tool << " is missing";
    server_ = std::make_unique<XvfbServer>();
    driver_ = std::make_unique<DesktopDriver>(*server_);
    std::filesystem::create_directories(dir_ / "img");
    // Two pictures for a first start to list: a JPEG of four coloured quarters and a BMP.
    ASSERT_EQ(
        RunProgram({"convert", "-size", "64x48", "xc:red", "-fill", "blue", "-draw", "rectangle 32,0 63,23",
                    "-fill", "lime", "-draw", "rectangle 0,24 31,47", "jpg:" + dir_ / "img/" + kJpegName})
            .exitCode,
        0);
    ASSERT_EQ(
        RunProgram({"convert", "-size", "40x30", "xc:#2060a0", "BMP3:" + dir_ / "img/plain.bmp"}).exitCode,
        0);
  }

  void TearDown() override {
    // Wine's own processes (the desktop, the server) must not outlive the X server they draw on.
    if (server_) RunProgram({"wineserver", "-k"}, Options());
  }

  ProcessOptions Options() const {
    ProcessOptions options = server_->Options();
    options.workingDirectory = dir_.Path();
    options.setEnv["WINEDEBUG"] = "-all";
    return options;
  }

  std::unique_ptr<ChildProcess> Start(const std::string& log = "lumora.log") const {
    ProcessOptions options = Options();
    options.outputFile = dir_ / log;
    return std::make_unique<ChildProcess>(std::vector<std::string>{"wine", program_ + "/lumora.exe"},
                                          options);
  }

  std::optional<unsigned long> WaitForMainWindow() const {
    for (int i = 0; i < 600; ++i) {
      for (unsigned long window : driver_->FindWindows(kMainTitle))
        if (driver_->Geometry(window).width > 600) return window;
      std::this_thread::sleep_for(100ms);
    }
    return std::nullopt;
  }

  // The file as Windows programs name it (Z:\tmp\…).
  std::string WindowsPath(const std::string& path) const {
    std::string windows = RunProgram({"winepath", "-w", path}, Options()).output;
    while (!windows.empty() && (windows.back() == '\n' || windows.back() == '\r')) windows.pop_back();
    return windows;
  }

  // A value of HKEY_CURRENT_USER\Control Panel\Desktop as Wine's registry holds it now.
  std::string DesktopValue(const std::string& name) const {
    const RunResult query =
        RunProgram({"wine", "reg", "query", "HKCU\\Control Panel\\Desktop", "/v", name}, Options());
    std::istringstream lines(query.output);
    for (std::string line; std::getline(lines, line);) {
      const auto type = line.find("REG_SZ");
      if (type == std::string::npos) continue;
      std::string value = line.substr(type + 6);
      value.erase(0, value.find_first_not_of(" \t"));
      while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
      return value;
    }
    return "(none)";
  }

  bool WaitForDesktopValue(const std::string& name, const std::string& expected) const {
    for (int i = 0; i < 50; ++i) {
      if (DesktopValue(name) == expected) return true;
      std::this_thread::sleep_for(200ms);
    }
    return false;
  }

  // The window's controls, by their place on it.
  void Click(unsigned long window, int x, int y) const { driver_->Click(window, x, y); }
  void ClickRow(unsigned long window, int row) const { Click(window, 60, 23 + 13 * row); }
  void ClickButton(unsigned long window, int left, int top) const { Click(window, left + 37, top + 12); }

  std::string Log() const { return ReadWholeFile(dir_ / "lumora.log"); }

  // A box captioned with the program's title alone (narrower than the main window).
  std::optional<unsigned long> TitledBox() const {
    for (unsigned long window : driver_->FindWindows(kMainTitle))
      if (driver_->Geometry(window).width < 600) return window;
    return std::nullopt;
  }

  // Waits for that box and answers it with Return; false when none came or it stayed.
  bool AnswerTitledBox() const {
    for (int i = 0; i < 100 && !TitledBox(); ++i) std::this_thread::sleep_for(100ms);
    for (int attempt = 0; attempt < 10; ++attempt) {
      const auto box = TitledBox();
      if (!box) return attempt > 0;
      driver_->Run({"xdotool", "windowfocus", "--sync", std::to_string(*box)});
      driver_->Run({"xdotool", "key", "Return"});
      std::this_thread::sleep_for(300ms);
    }
    return false;
  }

  bool WaitForFile(const std::string& path, const std::string& contents) const {
    for (int i = 0; i < 100 && ReadWholeFile(path) != contents; ++i) std::this_thread::sleep_for(100ms);
    return ReadWholeFile(path) == contents;
  }

  // UTF-8 text in code page 936, as a Chinese Windows writes it.
  static std::string Gbk(const std::string& text) {
    return RunProgram({"sh", "-c", "printf '%s' \"$1\" | iconv -f UTF-8 -t GBK", "gbk", text}).output;
  }

  // What djpeg makes of a picture of img/, as a BMP file beside it.
  std::string Djpeg(const std::string& name) const {
    const std::string out = dir_ / "djpeg.bmp";
    RunProgram({"sh", "-c", "djpeg -dct float -bmp \"$1\" > \"$2\"", "djpeg", dir_ / "img/" + name, out});
    return out;
  }

  int PixelsDiffering(const std::string& a, const std::string& b) const {
    const RunResult result = RunProgram({"compare", "-metric", "AE", a, b, "null:"});
    int count = -1;
    return std::sscanf(result.output.c_str(), "%d", &count) == 1 ? count : -1;
  }

  std::string program_;
  ScratchDirectory dir_;
  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<DesktopDriver> driver_;
};

TEST_F(WineE2e, FirstStartSetsAJpegAndABmpWritesTheStylePairAndSavesTheListInTheAnsiCodePage) {
  auto lumora = Start();
  const auto main = WaitForMainWindow();
  ASSERT_TRUE(main) << Log();

  // A second copy is refused with its message and ends; the first runs on.
  auto second = Start("second.log");
  ASSERT_TRUE(driver_->AnswerMessageBox("^提示$")) << ReadWholeFile(dir_ / "second.log");
  EXPECT_EQ(second->Wait(20s), std::optional<int>(0));
  EXPECT_TRUE(lumora->Running());

  // The JPEG, listed first, under its Chinese name: decoded exactly as djpeg decodes it.
  const std::string bmp = dir_ / "zodeveda.bmp";
  ClickRow(*main, 0);
  ClickButton(*main, 8, 250);  // 设为墙纸
  ASSERT_TRUE(WaitForDesktopValue("Wallpaper", WindowsPath(bmp))) << DesktopValue("Wallpaper") << Log();
  EXPECT_EQ(PixelsDiffering(bmp, Djpeg(kJpegName)), 0);

  Click(*main, 30, 376);  // 拉伸
  EXPECT_TRUE(WaitForDesktopValue("WallpaperStyle", "2"));
  EXPECT_EQ(DesktopValue("TileWallpaper"), "0");
  Click(*main, 30, 408);  // 平铺
  EXPECT_TRUE(WaitForDesktopValue("TileWallpaper", "1"));
  EXPECT_EQ(DesktopValue("WallpaperStyle"), "0");

  // A BMP is copied as it is.
  ClickRow(*main, 1);
  ClickButton(*main, 8, 250);
  EXPECT_TRUE(WaitForFile(bmp, ReadWholeFile(dir_ / "img/plain.bmp")));
  EXPECT_EQ(DesktopValue("Wallpaper"), WindowsPath(bmp));

  ClickButton(*main, 522, 528);  // 退出
  ASSERT_EQ(lumora->Wait(20s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(dir_ / "zodeveda.orl"), Gbk(WindowsPath(dir_ / "img/" + kJpegName)) + "\r\n" +
                                                      WindowsPath(dir_ / "img/plain.bmp") + "\r\n");
}

TEST_F(WineE2e, AListFromAChineseWindowsOpensUnchangedCtrlQStepsThroughItAndTheSessionEndSavesIt) {
  // As an earlier Lumora on a Chinese Windows left it: GBK names, in an order of the user's own.
  const std::string list =
      WindowsPath(dir_ / "img/plain.bmp") + "\r\n" + Gbk(WindowsPath(dir_ / "img/" + kJpegName)) + "\r\n";
  WriteWholeFile(dir_ / "zodeveda.orl", list);
  ASSERT_EQ(
      RunProgram({"wine", "reg", "add", "HKLM\\SOFTWARE\\VezeVuru\\ZodeVeda", "/v", "sn", "/d", "o", "/f"},
                 Options())
          .exitCode,
      0);
  auto lumora = Start();
  const auto main = WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  Click(*main, 208 + 50, 272 + 8);  // 热键更换墙纸
  ClickButton(*main, 296, 400);     // 启用: Ctrl+Q
  ASSERT_TRUE(AnswerTitledBox()) << Log();

  const std::string bmp = dir_ / "zodeveda.bmp";
  driver_->Run({"xdotool", "windowfocus", "--sync", std::to_string(*main)});
  driver_->Run({"xdotool", "key", "ctrl+q"});
  ASSERT_TRUE(WaitForFile(bmp, ReadWholeFile(dir_ / "img/plain.bmp"))) << Log();
  EXPECT_EQ(DesktopValue("Wallpaper"), WindowsPath(bmp));
  driver_->Run({"xdotool", "key", "ctrl+q"});
  for (int i = 0; i < 50 && PixelsDiffering(bmp, Djpeg(kJpegName)) != 0; ++i)
    std::this_thread::sleep_for(100ms);
  EXPECT_EQ(PixelsDiffering(bmp, Djpeg(kJpegName)), 0) << Log();

  // Wine ends its session as Windows does: every window is asked, then the programs are ended.
  std::filesystem::remove(dir_ / "zodeveda.orl");
  EXPECT_EQ(RunProgram({"wineboot", "--end-session"}, Options()).exitCode, 0);
  lumora->Wait(20s);
  EXPECT_EQ(ReadWholeFile(dir_ / "zodeveda.orl"), list);
}

}  // namespace
}  // namespace lumora::test
