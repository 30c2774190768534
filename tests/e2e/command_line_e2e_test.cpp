// SPDX-License-Identifier: GPL-3.0-or-later
// The lumora command talking to a running Lumora, and doing without one: --next, --set, --show, --quit,
// their failures and wrong arguments, and the socket they go through, left by a killed copy or put there
// by someone else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class CommandLineE2e : public LumoraSessionTest {
 protected:
  std::string Socket() { return S().Dir() / "runtime/Lumora v2.0.socket"; }
  RunResult Lumora(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{LumoraSession::Binary()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProgram(argv, S().Options(), 30s);
  }
  // No box came up for a request of the command line.
  bool NoErrorBox() {
    std::this_thread::sleep_for(500ms);
    return D().FindWindows("错误提示").empty();
  }
};

TEST_F(CommandLineE2e, RunningLumoraStepsSetsShowsAndQuitsWithTheListSaved) {
  SetUpColourList();
  auto lumora = S().Start();
  const auto main = S().WaitForMainWindow();
  ASSERT_TRUE(main) << Log();
  struct stat socket {};
  ASSERT_EQ(::lstat(Socket().c_str(), &socket), 0);
  EXPECT_TRUE(S_ISSOCK(socket.st_mode));
  EXPECT_EQ(socket.st_mode & 077, 0U) << "others may use the socket";

  // Done when the command ends, a box of the window's own open meanwhile: the hot key's steps, in list order.
  ClickControl(*main, 8, 250, 73, 25);  // 设为墙纸 without a selection
  ASSERT_TRUE(D().WaitForWindow("消息提示")) << Log();
  EXPECT_EQ(Lumora({"--next"}).exitCode, 0) << Log();
  EXPECT_EQ(Shown(), 0);
  ASSERT_TRUE(D().AnswerMessageBox("消息提示"));
  EXPECT_EQ(Lumora({"--next"}).exitCode, 0);
  EXPECT_EQ(Shown(), 1);

  // A relative name is the caller's; the style as its button sets it shows the picture in every corner.
  EXPECT_EQ(Lumora({"--set", "blue.bmp", "--style", "tiled"}).exitCode, 0) << Log();
  EXPECT_EQ(Shown(), 2);
  ASSERT_TRUE(D().Screenshot(0, S().Dir() / "root.png"));
  EXPECT_EQ(PixelAt(S().Dir() / "root.png", 5, 5), (std::optional<std::array<int, 3>>({0, 0, 255})));

  // Failures in the window's words, on the command line only.
  RunResult missing = Lumora({"--set", S().Dir() / "gone.jpg"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("gone.jpg不存在!"), std::string::npos) << missing.output;
  WriteWholeFile(S().Dir() / "bad.jpg", "no JPEG at all");
  RunResult bad = Lumora({"--set", "bad.jpg"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.output.rfind("lumora: ", 0), 0U) << bad.output;
  EXPECT_GT(bad.output.size(), std::strlen("lumora: \n")) << bad.output;
  EXPECT_EQ(Shown(), 2) << "a failed --set changed the wallpaper";
  EXPECT_TRUE(NoErrorBox());

  D().RequestClose(*main);
  ASSERT_TRUE(S().WaitUntilMainWindowHidden());
  EXPECT_EQ(Lumora({"--show"}).exitCode, 0);
  EXPECT_TRUE(S().WaitForMainWindow(5s));

  std::filesystem::remove(S().Dir() / "zodeveda.orl");
  EXPECT_EQ(Lumora({"--quit"}).exitCode, 0) << Log();
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"),
            S().Dir() / "red.bmp\r\n" + S().Dir() / "lime.bmp\r\n" + S().Dir() / "blue.bmp\r\n");
}

TEST_F(CommandLineE2e, WithoutLumoraSetAppliesOnceAndTheOthersSaySo) {
  SetUpColourList();
  EXPECT_EQ(Lumora({"--set", "lime.bmp", "--style", "tiled"}).exitCode, 0);
  EXPECT_EQ(Shown(), 1);
  EXPECT_FALSE(S().MainWindowShown());
  ASSERT_TRUE(D().Screenshot(0, S().Dir() / "root.png"));
  EXPECT_EQ(PixelAt(S().Dir() / "root.png", 5, 5), (std::optional<std::array<int, 3>>({0, 255, 0})));
  RunResult bad = Lumora({"--set", "bad.jpg"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.output.find("bad.jpg不存在!"), std::string::npos) << bad.output;
  for (const char* action : {"--next", "--show", "--quit"}) {
    RunResult none = Lumora({action});
    EXPECT_EQ(none.exitCode, 1) << action;
    EXPECT_EQ(none.output, "lumora: no Lumora is running\n");
  }
  RunResult usage = Lumora({"--next", "--set", "lime.bmp"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_NE(usage.output.find("Usage: lumora"), std::string::npos) << usage.output;
  EXPECT_NE(Lumora({"--help"}).output.find("--style STYLE"), std::string::npos);
  EXPECT_EQ(Lumora({"--version"}).output, "Lumora 3.1\n");
}

TEST_F(CommandLineE2e, AKilledCopysSocketIsTakenOverAndNoOneElsesIsUsed) {
  SetUpColourList();
  auto killed = S().Start("killed.log");
  ASSERT_TRUE(S().WaitForMainWindow()) << Log();
  ASSERT_EQ(::kill(killed->Pid(), SIGKILL), 0);
  ASSERT_TRUE(killed->Wait(5s));
  ASSERT_TRUE(std::filesystem::exists(Socket()));
  EXPECT_EQ(Lumora({"--next"}).output, "lumora: no Lumora is running\n");

  // Someone else's listener in its place: open to others, then another user's. It is never connected to.
  std::filesystem::remove(Socket());
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ASSERT_EQ(::chmod(Socket().c_str(), 0777), 0);
  RunResult open = Lumora({"--next"});
  EXPECT_EQ(open.exitCode, 1);
  EXPECT_NE(open.output.find("other users may use it; not used"), std::string::npos) << open.output;
  ASSERT_EQ(::chmod(Socket().c_str(), 0700), 0);
  // Only root can hand a file to another user.
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown(Socket().c_str(), 65534, 65534), 0);
    RunResult foreign = Lumora({"--set", "red.bmp"});
    EXPECT_NE(foreign.output.find("belongs to another user (uid 65534); not used"), std::string::npos)
        << foreign.output;
    EXPECT_EQ(foreign.exitCode, 0) << "set once without a running Lumora";
    EXPECT_EQ(Shown(), 0);
  }
  EXPECT_LT(::accept(listener, nullptr, nullptr), 0) << "the foreign socket was connected to";

  // The next start takes the place over and answers there.
  auto lumora = S().Start();
  ASSERT_TRUE(S().WaitForMainWindow()) << Log();
  EXPECT_EQ(Lumora({"--next"}).exitCode, 0) << Log();
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(Lumora({"--next"}).exitCode, 0);
  EXPECT_EQ(Shown(), 1);
  EXPECT_LT(::accept(listener, nullptr, nullptr), 0);
  ::close(listener);
}

}  // namespace
}  // namespace lumora::test
