// SPDX-License-Identifier: GPL-3.0-or-later
// The hot key in a Plasma session: the real kglobalaccel on a private session bus holds the combination,
// grabs the key on the X server and tells the program of each press.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "e2e/lumora_session.h"
#include "support/private_bus.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCtrlQ = "67108945";  // Qt::CTRL | Qt::Key_Q, as kglobalaccel codes keys

class PlasmaHotKey : public LumoraSessionTest {
 protected:
  void SetUp() override {
    LumoraSessionTest::SetUp();
    if (IsSkipped()) return;
    for (const char* program : {"dbus-daemon", "gdbus", "kglobalaccel5"}) {
      if (!ProgramAvailable(program)) GTEST_SKIP() << program << " is not installed";
    }
    std::filesystem::create_directories(S().Dir() / "bus");
    bus_ = std::make_unique<PrivateBus>(S().Dir() / "bus");
    ProcessOptions options = Options();
    options.setEnv["QT_QPA_PLATFORM"] = "xcb";
    options.outputFile = S().Dir() / "kglobalaccel.log";
    daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{"kglobalaccel5"}, options);
    ASSERT_EQ(RunProgram({"gdbus", "wait", "--session", "--timeout", "20", "org.kde.kglobalaccel"}, Options())
                  .exitCode,
              0)
        << ReadWholeFile(S().Dir() / "kglobalaccel.log");
    SetUpColourList();
  }
  ProcessOptions Options() const {
    ProcessOptions options = session_->Options();
    options.setEnv["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
    options.setEnv["XDG_CURRENT_DESKTOP"] = "KDE";
    options.setEnv["HOME"] = session_->Dir().Path();
    return options;
  }
  // Calls a method of kglobalaccel's; gdbus's print of the answer.
  std::string Accel(const std::string& method, std::vector<std::string> arguments) const {
    std::vector<std::string> argv = {"gdbus",
                                     "call",
                                     "--session",
                                     "-d",
                                     "org.kde.kglobalaccel",
                                     "-o",
                                     "/kglobalaccel",
                                     "-m",
                                     "org.kde.KGlobalAccel." + method};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProgram(argv, Options(), 20s).output;
  }
  std::string HolderOfCtrlQ() const { return Accel("action", {kCtrlQ}); }
  std::string Shortcuts() const { return ReadWholeFile(session_->Dir() / "config/kglobalshortcutsrc"); }
  void PressCtrlQ() { D().Run({"xdotool", "key", "ctrl+q"}); }
  // Holds the keys down well past the keyboard's repeat delay, counting the new wallpaper files meanwhile.
  int WallpaperWritesWhileHoldingCtrlQ() {
    const auto fileNumber = [&] {
      struct stat info {};
      return ::stat((S().Dir() / "zodeveda.bmp").c_str(), &info) == 0 ? info.st_ino : 0;
    };
    int writes = 0;
    auto last = fileNumber();
    D().Run({"xdotool", "keydown", "ctrl+q"});
    for (auto end = std::chrono::steady_clock::now() + 2500ms; std::chrono::steady_clock::now() < end;) {
      if (const auto now = fileNumber(); now != last) {
        ++writes;
        last = now;
      }
      std::this_thread::sleep_for(5ms);
    }
    D().Run({"xdotool", "keyup", "ctrl+q"});
    return writes;
  }
  void EnableWithCtrlQ(unsigned long main) {
    D().Click(main, 208 + 50, 272 + 8);  // 热键更换墙纸
    ClickButton(main, 296, 400);         // 启用
  }

  std::unique_ptr<PrivateBus> bus_;
  std::unique_ptr<ChildProcess> daemon_;
};

TEST_F(PlasmaHotKey, KGlobalAccelHoldsTheKeyWhileEnabledAndStepsOncePerPress) {
  // Another program's action holds Ctrl+Q: enabling fails and leaves nothing of ours.
  const std::string other = "['other-program', 'grab', 'Other program', 'Grab']";
  Accel("doRegister", {other});
  ASSERT_EQ(Accel("setShortcut", {other, std::string("[") + kCtrlQ + "]", "6"}),
            std::string("([") + kCtrlQ + "],)\n");
  auto lumora = [&] {
    ProcessOptions options = Options();
    options.outputFile = S().Dir() / "lumora.log";
    return std::make_unique<ChildProcess>(std::vector<std::string>{LumoraSession::Binary()}, options);
  }();
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  EnableWithCtrlQ(*main);
  ASSERT_TRUE(D().AnswerMessageBox("更换墙纸热键启用失败")) << Log();
  EXPECT_EQ(Accel("allActionsForComponent", {"['lumora']"}), "(@aas [],)\n");
  Accel("unregister", {"other-program", "grab"});

  // Free again: kglobalaccel holds it for Lumora, and each press is one step, however long the key is held.
  ClickButton(*main, 296, 400);
  AnswerTitledBox("enabled");
  EXPECT_NE(HolderOfCtrlQ().find("'lumora'"), std::string::npos) << HolderOfCtrlQ();
  PressCtrlQ();
  EXPECT_TRUE(WaitForShown(0)) << Log();
  EXPECT_EQ(WallpaperWritesWhileHoldingCtrlQ(), 1) << Log();
  EXPECT_EQ(Shown(), 1);
  PressCtrlQ();
  EXPECT_TRUE(WaitForShown(2)) << Log();
  EXPECT_TRUE(WaitFor([&] { return Shortcuts().find("[lumora]") != std::string::npos; })) << Shortcuts();

  // 停用 gives the key back, to kglobalaccel and the user's stored shortcuts alike.
  ClickButton(*main, 392, 400);
  AnswerTitledBox("disabled");
  EXPECT_EQ(HolderOfCtrlQ(), "(@as [],)\n");
  PressCtrlQ();
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(Shown(), 2) << "the key no longer fires";
  EXPECT_TRUE(WaitFor([&] { return Shortcuts().find("lumora") == std::string::npos; })) << Shortcuts();

  // So does leaving the program with the key enabled.
  ClickButton(*main, 296, 400);
  AnswerTitledBox("enabled again");
  EXPECT_NE(HolderOfCtrlQ().find("'lumora'"), std::string::npos);
  ClickButton(*main, 522, 528);  // 退出
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(HolderOfCtrlQ(), "(@as [],)\n");
}

}  // namespace
}  // namespace lumora::test
