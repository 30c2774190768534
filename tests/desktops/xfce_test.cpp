// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "desktops/private_session.h"
#include "platform/linux_desktops/linux_desktops.h"
#include "support/xvfb.h"
#include "toolkit/exceptions.h"

namespace lumora::test {
namespace {

using platform::DisplayStylePair;
using test::XvfbServer;

constexpr const char* kMonitor0 = "/backdrop/screen0/monitor0/workspace0/";
const std::vector<std::string> kOutputs = {"/backdrop/screen0/monitorHDMI-1/workspace0/",
                                           "/backdrop/screen0/monitorVirtual1/workspace0/",
                                           "/backdrop/screen0/monitorVirtual1/workspace1/"};

RunResult Xfconf(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"xfconf-query", "-c", "xfce4-desktop"});
  return RunInSession(arguments);
}

std::string XfconfGet(const std::string& property) {
  const RunResult result = Xfconf({"-p", property});
  return result.exitCode == 0 ? Chomp(result.output) : "<missing>";
}

void XfconfSet(const std::string& property, const std::string& type, const std::string& value) {
  const RunResult result = Xfconf({"-p", property, "-n", "-t", type, "-s", value});
  ASSERT_EQ(result.exitCode, 0) << result.output;
}

class XfceTest : public testing::Test {
 protected:
  void SetUp() override {
    if (PrivateSession::Get() == nullptr || !ProgramAvailable("xfconf-query")) {
      GTEST_SKIP() << "dbus-daemon or xfconf is not installed (scripts/setup-debian.sh installs them)";
    }
    Xfconf({"-p", "/backdrop", "-r", "-R"});  // fails harmlessly on an empty channel
    folder_ = PrivateSession::Get()->NewFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    picture_ = WritePicture(folder_);
    wallpaper_ = platform::CreateXfceWallpaper();
  }

  std::string folder_;
  std::string picture_;
  std::unique_ptr<platform::DesktopWallpaper> wallpaper_;
};

// xfdesktop has saved nothing yet: each connected output and workspace gets the picture under the name
// xfdesktop looks up (Xvfb's one output is "screen"); with no X display to ask, the older monitor0.
TEST_F(XfceTest, EmptyChannelGetsEveryOutputAndWorkspace) {
  XvfbServer server;
  const RunResult workspaces = test::RunProgram(
      {"xprop", "-root", "-f", "_NET_NUMBER_OF_DESKTOPS", "32c", "-set", "_NET_NUMBER_OF_DESKTOPS", "2"},
      server.Options());
  ASSERT_EQ(workspaces.exitCode, 0) << workspaces.output;
  {
    const ScopedEnvironment display("DISPLAY", server.Display().c_str());
    EXPECT_EQ(wallpaper_->ReadStyle(), DisplayStylePair{});
    EXPECT_FALSE(wallpaper_->Reapply());
    ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
  }
  const std::string screen = "/backdrop/screen0/monitorscreen/";
  EXPECT_EQ(Lines(Xfconf({"-p", "/backdrop", "-l"}).output),
            (std::vector<std::string>{screen + "workspace0/last-image", screen + "workspace1/last-image"}));
  EXPECT_EQ(XfconfGet(screen + "workspace1/last-image"), picture_);
  wallpaper_->WriteStyle(platform::kStretchedPair);
  EXPECT_EQ(XfconfGet(screen + "workspace0/image-style"), "3");
  EXPECT_FALSE(wallpaper_->SetWallpaper(folder_ + "/missing.bmp", nullptr));
  EXPECT_EQ(XfconfGet(screen + "workspace0/last-image"), picture_);

  Xfconf({"-p", "/backdrop", "-r", "-R"});
  const ScopedEnvironment noDisplay("DISPLAY", nullptr);
  ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
  EXPECT_EQ(Chomp(Xfconf({"-p", "/backdrop", "-l"}).output), std::string(kMonitor0) + "last-image");
}

// xfdesktop reloads on a change of last-image, and xfconfd reports no change for an equal value: every
// monitor and workspace must still see each apply of the one file as changes.
TEST_F(XfceTest, EveryMonitorAndWorkspaceFollows) {
  for (const auto& prefix : kOutputs) XfconfSet(prefix + "last-image", "string", picture_);
  XfconfSet(kOutputs[0] + "color-style", "int", "1");
  const std::string log = folder_ + "/monitor.txt";
  ProcessOptions options;
  options.outputFile = log;
  ChildProcess monitor({"xfconf-query", "-c", "xfce4-desktop", "-m"}, options);
  int attempt = 0;
  ASSERT_TRUE(WaitFor([&] {
    XfconfSet("/ready", "int", std::to_string(++attempt));
    return ReadWholeFile(log).find("/ready") != std::string::npos;
  }));

  ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
  const auto changes = [&](const std::string& property) {
    int count = 0;
    for (const auto& line : Lines(ReadWholeFile(log))) count += line.ends_with(property) ? 1 : 0;
    return count;
  };
  for (const auto& prefix : kOutputs) {
    // xfconf-query's monitor can fall seconds behind on a busy machine; the values themselves are set.
    EXPECT_TRUE(WaitFor([&] { return changes(prefix + "last-image") >= 2; }, 20000))
        << prefix << ReadWholeFile(log);
    EXPECT_EQ(XfconfGet(prefix + "last-image"), picture_);
  }
  EXPECT_EQ(XfconfGet(std::string(kMonitor0) + "last-image"), "<missing>") << "no monitor is invented";
  EXPECT_EQ(XfconfGet(kOutputs[0] + "color-style"), "1");

  const struct {
    DisplayStylePair pair;
    const char* number;
  } cases[] = {{platform::kCentredPair, "1"}, {platform::kTiledPair, "2"}, {platform::kStretchedPair, "3"}};
  for (const auto& c : cases) {
    wallpaper_->WriteStyle(c.pair);
    for (const auto& prefix : kOutputs) EXPECT_EQ(XfconfGet(prefix + "image-style"), c.number) << prefix;
    EXPECT_EQ(wallpaper_->ReadStyle(), c.pair);
  }
  // A stored pair that is none of the three tiles, as the root painter shows it.
  wallpaper_->WriteStyle({"1", "2"});
  EXPECT_EQ(XfconfGet(kOutputs[1] + "image-style"), "2");
  // The first monitor by name speaks for all; a zoomed style has no pair and goes back unchanged.
  ASSERT_EQ(Xfconf({"-p", kOutputs[0] + "image-style", "-s", "5"}).exitCode, 0);
  const DisplayStylePair zoomed = wallpaper_->ReadStyle();
  EXPECT_NE(zoomed, platform::kStretchedPair);
  EXPECT_NE(zoomed, platform::kCentredPair);
  EXPECT_NE(zoomed, platform::kTiledPair);
  wallpaper_->WriteStyle(zoomed);
  EXPECT_EQ(XfconfGet(kOutputs[2] + "image-style"), "5");
}

// Without a bus nothing can be reached: reads are empty, writes raise, applies fail.
TEST(DesktopsOutOfReach, NoSessionBus) {
  const ScratchDirectory scratch;
  const std::string picture = WritePicture(scratch.Path());
  const ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + scratch / "no-bus").c_str());
  std::unique_ptr<platform::DesktopWallpaper> backends[] = {platform::CreateXfceWallpaper(),
                                                            platform::CreateKdeWallpaper()};
  for (const auto& wallpaper : backends) {
    SCOPED_TRACE(wallpaper->Name());
    EXPECT_EQ(wallpaper->ReadStyle(), DisplayStylePair{});
    EXPECT_THROW(wallpaper->WriteStyle(platform::kTiledPair), platform::EDesktopNoAnswer);
    EXPECT_FALSE(wallpaper->SetWallpaper(picture, nullptr));
  }
}

}  // namespace
}  // namespace lumora::test
