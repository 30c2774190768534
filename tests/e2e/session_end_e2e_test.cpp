// SPDX-License-Identifier: GPL-3.0-or-later
// The session ending under the running program (a termination signal, the X server going away): it leaves
// the way "退出" does, list saved, status 0.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <filesystem>

#include "e2e/lumora_session.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

// The list as written by hand (lone LF line ends), and as the program writes it back (CR LF).
constexpr const char* kHandWrittenList = "/pictures/a.jpg\n/pictures/b.bmp";
constexpr const char* kSavedList = "/pictures/a.jpg\r\n/pictures/b.bmp\r\n";

class SessionEnd : public LumoraSessionTest {
 protected:
  void SetUp() override {
    LumoraSessionTest::SetUp();
    if (IsSkipped()) return;
    S().MarkNotFirstRun();
  }
  // A copy started on a hand-written list, its main window up.
  std::unique_ptr<ChildProcess> StartWithList() {
    WriteWholeFile(S().Dir() / "zodeveda.orl", kHandWrittenList);
    auto lumora = S().Start();
    EXPECT_TRUE(S().WaitForMainWindow()) << Log();
    return lumora;
  }
};

TEST_F(SessionEnd, TerminationSignalsEndTheProgramSavingTheList) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    auto lumora = StartWithList();
    ASSERT_EQ(::kill(lumora->Pid(), signal), 0);
    EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
    EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), kSavedList);
  }
}

TEST_F(SessionEnd, HangUpIgnoredByWhoeverStartedItStaysIgnored) {
  // As `nohup lumora &` starts it: the ignored disposition is inherited.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGHUP, &ignore, &previous);
  auto lumora = StartWithList();
  ::sigaction(SIGHUP, &previous, nullptr);
  ASSERT_EQ(::kill(lumora->Pid(), SIGHUP), 0);
  EXPECT_FALSE(lumora->Wait(2s)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), kHandWrittenList);
}

TEST_F(SessionEnd, TheXServerGoingAwayEndsTheProgramSavingTheList) {
  auto lumora = StartWithList();
  S().Server().Stop();
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(ReadWholeFile(S().Dir() / "zodeveda.orl"), kSavedList);
}

}  // namespace
}  // namespace lumora::test
