// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "support/desktop_driver.h"
#include "support/process.h"
#include "support/xvfb.h"

namespace lumora::test {

// A user's session with the real program: its own X server, with a notification area unless asked
// otherwise, a scratch directory to start in (with a registry of its own), a driver for the mouse and
// keyboard, and an xdg-open first on PATH that records what the program asks the shell to open.
class LumoraSession {
 public:
  explicit LumoraSession(bool trayHost = true);

  static std::string Binary() { return std::string(LUMORA_BINARY_DIR) + "/src/app/lumora"; }
  // Starts a copy of the program in the scratch directory; its output goes to the named log.
  std::unique_ptr<ChildProcess> Start(const std::string& log = "lumora.log") const;
  ProcessOptions Options() const;
  // Marks the first run as done, so that a start reads the saved list instead of filling it from img/.
  void MarkNotFirstRun() const;
  // What was handed to xdg-open so far, one argument a line.
  std::vector<std::string> Opened() const;
  // Waits until xdg-open has been handed count arguments in all.
  bool WaitForOpened(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

  const ScratchDirectory& Dir() const { return dir_; }
  const XvfbServer& Server() const { return server_; }
  const DesktopDriver& Driver() const { return driver_; }

  // Waits for the main window; nullopt if it did not come up in time.
  std::optional<unsigned long> WaitForMainWindow(
      std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
  bool MainWindowShown() const;
  // Waits until the main window is no longer on screen; false if it still is when the time is up.
  bool WaitUntilMainWindowHidden(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
  // The program's icon in the notification area.
  std::optional<unsigned long> WaitForTrayIcon(
      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  ScratchDirectory dir_;
  XvfbServer server_;
  DesktopDriver driver_{server_};
};

inline constexpr const char* kMainTitle = "Lumora v3\\.1";

// A test with a session of its own; skipped where the tools that drive the program are missing.
class LumoraSessionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  LumoraSession& S() { return *session_; }
  const DesktopDriver& D() { return session_->Driver(); }
  std::string Log() const { return ReadWholeFile(session_->Dir() / "lumora.log"); }
  // Clicks the middle of list row r, or of a 75 × 25 button given by its place on the main window.
  void ClickRow(unsigned long window, int row) { D().Click(window, 60, 23 + 13 * row); }
  void ClickButton(unsigned long window, int left, int top) { D().Click(window, left + 37, top + 12); }
  // Clicks a control of any size by its place on the main window.
  void ClickControl(unsigned long window, int left, int top, int width, int height) {
    D().Click(window, left + width / 2, top + height / 2);
  }
  // Right-clicks the tray icon and clicks the menu's item (0, 1 or 2 of three).
  void ChooseFromTrayMenu(unsigned long icon, int item);
  // A message box captioned with the program's title alone: like the main window and the tray icon, but of
  // a size between theirs.
  std::optional<unsigned long> TitledBox();
  // Waits for that box and answers it with Return.
  void AnswerTitledBox(const char* after);
  // Three one-colour bitmaps (red, lime, blue) in the saved list, the first run done; the wallpaper file
  // then tells which one is shown.
  void SetUpColourList();
  // Which picture of that list the wallpaper file holds now (-1: none of them).
  int Shown() const;
  bool WaitForShown(int picture) const;
  // The pictures written to the wallpaper file, in order, until count writes have been seen. Each write
  // replaces the file by a new one, so the same picture written twice is seen twice.
  std::vector<int> Watch(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(15)) const;
  // The red, green and blue values (0–255) at a point of a picture file; nullopt when it cannot be read.
  static std::optional<std::array<int, 3>> PixelAt(const std::string& picture, int x, int y);

  std::unique_ptr<LumoraSession> session_;
  std::vector<std::string> pictures_;
};

}  // namespace lumora::test
