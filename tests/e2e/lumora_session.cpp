// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/lumora_session.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace lumora::test {

LumoraSession::LumoraSession(bool trayHost) {
  if (trayHost) server_.StartTrayHost();
  std::filesystem::create_directories(dir_ / "bin");
  WriteWholeFile(dir_ / "bin/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                                            dir_ / "opened.txt" + "'\n");
  std::filesystem::permissions(dir_ / "bin/xdg-open", std::filesystem::perms::owner_all);
  std::filesystem::create_directories(dir_ / "config");
  std::filesystem::create_directories(dir_ / "runtime");
  std::filesystem::permissions(dir_ / "runtime", std::filesystem::perms::owner_all);
}

ProcessOptions LumoraSession::Options() const {
  ProcessOptions options = server_.Options();
  options.workingDirectory = dir_.Path();
  options.setEnv["XDG_CONFIG_HOME"] = dir_ / "config";
  options.setEnv["XDG_RUNTIME_DIR"] = dir_ / "runtime";
  const char* path = std::getenv("PATH");
  options.setEnv["PATH"] = dir_ / "bin" + ":" + (path != nullptr ? path : "/usr/bin:/bin");
  return options;
}

std::vector<std::string> LumoraSession::Opened() const {
  std::vector<std::string> lines;
  std::istringstream text(ReadWholeFile(dir_ / "opened.txt"));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

bool LumoraSession::WaitForOpened(std::size_t count, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Opened().size() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

void LumoraSession::MarkNotFirstRun() const {
  std::filesystem::create_directories(dir_ / "config/lumora");
  WriteWholeFile(dir_ / "config/lumora/registry.ini",
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VezeVuru\\ZodeVeda]\nsn=o\n");
}

std::unique_ptr<ChildProcess> LumoraSession::Start(const std::string& log) const {
  ProcessOptions options = Options();
  options.outputFile = dir_ / log;
  return std::make_unique<ChildProcess>(std::vector<std::string>{Binary()}, options);
}

std::optional<unsigned long> LumoraSession::WaitForMainWindow(std::chrono::milliseconds timeout) const {
  // The tray menu carries the same title; the main window is the one of the main window's size.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    for (unsigned long window : driver_.FindWindows(kMainTitle)) {
      const WindowGeometry g = driver_.Geometry(window);
      if (g.width == 608 && g.height == 565) return window;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

bool LumoraSession::MainWindowShown() const {
  for (unsigned long window : driver_.FindWindows(kMainTitle)) {
    const WindowGeometry g = driver_.Geometry(window);
    if (g.width == 608 && g.height == 565) return true;
  }
  return false;
}

bool LumoraSession::WaitUntilMainWindowHidden(std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (MainWindowShown()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

std::optional<unsigned long> LumoraSession::WaitForTrayIcon(std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    for (unsigned long window : driver_.FindWindowsOfClass("lumora")) {
      const WindowGeometry g = driver_.Geometry(window);
      if (g.width <= 32 && g.height <= 32 && g.y < 24) return window;  // docked in the panel at the top
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

std::optional<std::array<int, 3>> LumoraSessionTest::PixelAt(const std::string& picture, int x, int y) {
  const std::string at = "p{" + std::to_string(x) + "," + std::to_string(y) + "}";
  const std::string rgb =
      RunProgram({"/usr/bin/convert", picture, "-format",
                  "%[fx:int(255*" + at + ".r)] %[fx:int(255*" + at + ".g)] %[fx:int(255*" + at + ".b)]",
                  "info:"})
          .output;
  std::array<int, 3> pixel{};
  if (std::sscanf(rgb.c_str(), "%d %d %d", &pixel[0], &pixel[1], &pixel[2]) != 3) return std::nullopt;
  return pixel;
}

void LumoraSessionTest::SetUpColourList() {
  S().MarkNotFirstRun();
  std::string list;
  for (const char* colour : {"red", "lime", "blue"}) {
    const std::string path = S().Dir() / (std::string(colour) + ".bmp");
    ASSERT_EQ(RunProgram({"/usr/bin/convert", "-size", "8x8", "xc:" + std::string(colour), "BMP3:" + path})
                  .exitCode,
              0);
    pictures_.push_back(ReadWholeFile(path));
    list += path + "\r\n";
  }
  WriteWholeFile(S().Dir() / "zodeveda.orl", list);
}

int LumoraSessionTest::Shown() const {
  const std::string now = ReadWholeFile(session_->Dir() / "zodeveda.bmp");
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    if (now == pictures_[i]) return static_cast<int>(i);
  }
  return -1;
}

bool LumoraSessionTest::WaitForShown(int picture) const {
  for (int i = 0; i < 100; ++i) {
    if (Shown() == picture) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::vector<int> LumoraSessionTest::Watch(std::size_t count, std::chrono::milliseconds timeout) const {
  std::vector<int> seen;
  const auto fileNumber = [&] {
    struct stat info {};
    return ::stat((session_->Dir() / "zodeveda.bmp").c_str(), &info) == 0 ? info.st_ino : 0;
  };
  auto last = fileNumber();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (seen.size() < count && std::chrono::steady_clock::now() < deadline) {
    const auto now = fileNumber();
    if (now != last) seen.push_back(Shown());
    last = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return seen;
}

void LumoraSessionTest::ChooseFromTrayMenu(unsigned long icon, int item) {
  // The menu is the window of its size that the click brings up: a message box may be of that size too.
  const std::vector<unsigned long> before = D().FindWindowsOfClass("lumora");
  D().Click(icon, 8, 8, 3);
  std::optional<unsigned long> menu;
  for (int i = 0; i < 50 && !menu; ++i) {
    for (unsigned long w : D().FindWindowsOfClass("lumora")) {
      if (std::find(before.begin(), before.end(), w) != before.end()) continue;
      const WindowGeometry g = D().Geometry(w);
      if (g.height > 40 && g.height < 150 && g.width < 300) menu = w;
    }
    if (!menu) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(menu) << Log();
  const WindowGeometry g = D().Geometry(*menu);
  D().Click(*menu, 20, g.height * (2 * item + 1) / 6);
}

std::optional<unsigned long> LumoraSessionTest::TitledBox() {
  for (unsigned long window : D().FindWindows(std::string("^") + kMainTitle + "$")) {
    const int width = D().Geometry(window).width;
    if (width > 64 && width < 600) return window;
  }
  return std::nullopt;
}

void LumoraSessionTest::AnswerTitledBox(const char* after) {
  SCOPED_TRACE(after);
  for (int i = 0; i < 100 && !TitledBox(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(TitledBox()) << "no box\n" << Log();
  for (int attempt = 0; attempt < 10; ++attempt) {
    const auto box = TitledBox();
    if (!box) return;
    D().Run({"xdotool", "windowfocus", "--sync", std::to_string(*box)});
    D().Run({"xdotool", "key", "Return"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  FAIL() << "the box stayed";
}

void LumoraSessionTest::SetUp() {
  if (!XvfbServer::Available() || !ProgramAvailable("xdotool") || !ProgramAvailable("trayer")) {
    GTEST_SKIP() << "needs Xvfb, xdotool and trayer (the README's set-up installs them)";
  }
  session_ = std::make_unique<LumoraSession>();
}

}  // namespace lumora::test
