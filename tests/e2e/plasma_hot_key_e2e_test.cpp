// SPDX-License-Identifier: GPL-3.0-or-later
// The hot key in a Plasma session: the real kglobalaccel on a private session bus holds the combination,
// grabs the key on the X server and tells the program of each press.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "e2e/lumora_session.h"
#include "support/private_bus.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCtrlQ = "67108945";  // Qt::CTRL | Qt::Key_Q, as kglobalaccel codes keys
constexpr const char* kNobody = "(@as [],)\n";

class PlasmaHotKey : public LumoraSessionTest {
 protected:
  void SetUp() override {
    LumoraSessionTest::SetUp();
    if (IsSkipped()) return;
    if (!ProgramAvailable("kglobalaccel5")) GTEST_SKIP() << "kglobalaccel5 is not installed";
    bus_ = std::make_unique<PrivateBus>(S().Dir().Path());
    ProcessOptions options = Options();
    options.setEnv["QT_QPA_PLATFORM"] = "xcb";
    daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{"kglobalaccel5"}, options);
    ASSERT_EQ(RunProgram({"gdbus", "wait", "--session", "--timeout", "20", "org.kde.kglobalaccel"}, options)
                  .exitCode,
              0);
    SetUpColourList();
  }
  ProcessOptions Options() const {
    ProcessOptions options = session_->Options();
    options.setEnv["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
    options.setEnv["XDG_CURRENT_DESKTOP"] = "KDE";
    options.setEnv["HOME"] = session_->Dir().Path();
    return options;
  }
  // gdbus's print of the answer of a method of kglobalaccel's.
  std::string Accel(const std::string& method, std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"gdbus", "call", "--session", "-d", "org.kde.kglobalaccel", "-o",
                                         "/kglobalaccel", "-m", "org.kde.KGlobalAccel." + method});
    return RunProgram(arguments, Options(), 20s).output;
  }
  std::string HolderOfCtrlQ() const { return Accel("action", {kCtrlQ}); }
  bool LumoraHoldsCtrlQ() const { return HolderOfCtrlQ().find("'lumora'") != std::string::npos; }
  bool StoredForLumora() const {
    return ReadWholeFile(session_->Dir() / "config/kglobalshortcutsrc").find("lumora") != std::string::npos;
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
  ProcessOptions options = Options();
  options.outputFile = S().Dir() / "lumora.log";
  ChildProcess lumora({LumoraSession::Binary()}, options);
  auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  D().Click(*main, 208 + 50, 272 + 8);  // 热键更换墙纸
  ClickButton(*main, 296, 400);         // 启用
  ASSERT_TRUE(D().AnswerMessageBox("更换墙纸热键启用失败")) << Log();
  EXPECT_EQ(Accel("allActionsForComponent", {"['lumora']"}), "(@aas [],)\n");

  // Once free, kglobalaccel holds it for Lumora, and a press is one step however long the keys are held.
  Accel("unregister", {"other-program", "grab"});
  ClickButton(*main, 296, 400);
  AnswerTitledBox("enabled");
  EXPECT_TRUE(LumoraHoldsCtrlQ());
  D().Run({"xdotool", "key", "ctrl+q"});
  EXPECT_TRUE(WaitForShown(0)) << Log();
  auto watched = std::async(std::launch::async, [this] { return Watch(2, 3s); });
  D().Run({"xdotool", "keydown", "ctrl+q"});
  std::this_thread::sleep_for(2s);  // well past the keyboard's repeat delay
  D().Run({"xdotool", "keyup", "ctrl+q"});
  EXPECT_EQ(watched.get(), std::vector<int>{1}) << Log();
  EXPECT_TRUE(WaitFor([&] { return StoredForLumora(); }));

  // 停用 gives the key back, to kglobalaccel and the user's stored shortcuts alike; so does leaving.
  ClickButton(*main, 392, 400);
  AnswerTitledBox("disabled");
  EXPECT_EQ(HolderOfCtrlQ(), kNobody);
  EXPECT_TRUE(WaitFor([&] { return !StoredForLumora(); }));
  ClickButton(*main, 296, 400);
  AnswerTitledBox("enabled again");
  EXPECT_TRUE(LumoraHoldsCtrlQ());
  ClickButton(*main, 522, 528);  // 退出
  EXPECT_EQ(lumora.Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(HolderOfCtrlQ(), kNobody);
}

}  // namespace
}  // namespace lumora::test
