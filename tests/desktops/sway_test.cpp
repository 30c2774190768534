// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "desktops/private_session.h"
#include "platform/desktop_registry.h"
#include "platform/linux_desktops/linux_desktops.h"
#include "toolkit/bitmap.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Copies() {  // ours in the runtime directory
  std::vector<std::string> copies;
  for (const auto& entry : fs::directory_iterator(std::getenv("XDG_RUNTIME_DIR"))) {
    if (entry.path().filename().string().starts_with("lumora-wallpaper-")) copies.push_back(entry.path());
  }
  return copies;
}

void WriteColour(const std::string& path, const char* rgb) {  // 8×6 pixels of one colour
  TBitmap picture;
  picture.SetSize(8, 6);
  for (int i = 0; i < 48; ++i) std::reverse_copy(rgb, rgb + 3, picture.ScanLine(i / 8) + 3 * (i % 8));
  picture.SaveToFile(path);
}

// A real headless sway 1.7, checked by the command line of the swaybg it starts (found by the SWAYSOCK it
// inherits) and by grim's picture of the output. sway will not run as root: in a user namespace it is user
// 1000, and our files are still its own.
TEST(Sway, EachApplyShowsTheFileInTheStoredStyle) {
  if (PrivateSession::Get() == nullptr || !ProgramAvailable("sway") || !ProgramAvailable("grim")) {
    GTEST_SKIP() << "dbus-daemon, sway or grim is missing (scripts/setup-debian.sh installs them)";
  }
  const std::string folder = PrivateSession::Get()->NewFolder("sway");
  WriteWholeFile(folder + "/config", "xwayland disable\n");
  std::vector<std::string> argv{"sway", "-c", folder + "/config"};
  if (::geteuid() == 0) argv.insert(argv.begin(), {"unshare", "--map-user=1000", "--map-group=1000"});
  ProcessOptions options;
  options.setEnv = {
      {"WLR_BACKENDS", "headless"}, {"WLR_LIBINPUT_NO_DEVICES", "1"}, {"WLR_RENDERER", "pixman"}};
  const ChildProcess sway(argv, options);
  const std::string socket = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/sway-ipc." +
                             std::to_string(::geteuid() == 0 ? 1000 : ::geteuid()) + "." +
                             std::to_string(sway.Pid()) + ".sock";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(socket); }, 20000)) << "sway did not start";
  const ScopedEnvironment swaySocket("SWAYSOCK", socket.c_str());
  const ScopedEnvironment display("WAYLAND_DISPLAY", "wayland-1");
  const auto swaybg = [&] {
    for (const auto& process : fs::directory_iterator("/proc")) {
      if (ReadWholeFile(process.path() / "environ").find("SWAYSOCK=" + socket + '\0') == std::string::npos)
        continue;
      std::string text = ReadWholeFile(process.path() / "cmdline");
      std::replace(text.begin(), text.end(), '\0', ' ');
      if (text.starts_with("swaybg ")) return text;
    }
    return std::string();
  };
  const auto lastPixel = [&] {  // bottom right
    RunProgram({"grim", "-t", "ppm", folder + "/shot.ppm"});
    const std::string shot = ReadWholeFile(folder + "/shot.ppm");
    return shot.substr(shot.size() - std::min<std::size_t>(shot.size(), 3));
  };

  const auto wallpaper = platform::CreateSwayWallpaper();
  const std::string picture = folder + "/壁纸 $HOME it's;a,b.bmp";  // cut or expanded, were sway to parse it
  const struct {
    platform::DisplayStylePair pair;
    const char* mode;
    const char* rgb;
  } cases[] = {{platform::kCentredPair, "center", "\xff\x01\x01"},
               {platform::kStretchedPair, "stretch", "\x01\xff\x01"},
               {platform::kTiledPair, "tile", "\x01\x01\xff"}};
  std::string shown;
  for (const auto& c : cases) {  // the same file each time, with new content
    WriteColour(picture, c.rgb);
    wallpaper->WriteStyle(c.pair);
    ASSERT_TRUE(wallpaper->SetWallpaper(picture, nullptr)) << c.mode;
    ASSERT_EQ(Copies().size(), 1u) << "the copies before it are gone";
    EXPECT_NE(Copies()[0], shown) << "a name sway has not shown yet";
    EXPECT_TRUE(WaitFor([&] { return swaybg() == "swaybg -o * -i " + Copies()[0] + " -m " + c.mode + " "; }));
    EXPECT_EQ(ReadWholeFile(shown = Copies()[0]), ReadWholeFile(picture));
  }
  EXPECT_EQ(platform::ReadRecordedWallpaper(), picture);
  EXPECT_EQ(wallpaper->ReadStyle(), platform::kTiledPair);
  EXPECT_TRUE(WaitFor([&] { return lastPixel() == "\x01\x01\xff"; })) << "tiles fill the output";
  WriteColour(picture, "\x02\x80\x02");
  ASSERT_TRUE(wallpaper->Reapply());
  EXPECT_TRUE(WaitFor([&] { return lastPixel() == "\x02\x80\x02"; })) << "shown again, as it is now";
}

// No swaymsg, no sway, a sway that refuses, one that never answers: false, with the recorded wallpaper and
// the copy sway shows left as they were. A session is told to be sway by its socket alone.
TEST(Sway, RefusalChangesNothing) {
  if (PrivateSession::Get() == nullptr) GTEST_SKIP() << PrivateSession::SkipReason();
  const std::string folder = PrivateSession::Get()->NewFolder("sway-refusal");
  WriteColour(folder + "/picture.bmp", "abc");
  platform::WriteRecordedWallpaper("/before.bmp");
  const auto before = Copies();
  const ScopedEnvironment socket("SWAYSOCK", (folder + "/no-sway.sock").c_str());
  const auto wallpaper = platform::CreateSwayWallpaper();
  std::vector<std::string> paths = {folder, "/usr/bin:/bin"};
  for (const char* body :
       {"echo '[{\"success\": false, \"error\": \"no\"}]'; exit 2", "exec /bin/sleep 30"}) {
    paths.push_back(PrivateSession::Get()->NewFolder("bin" + std::to_string(paths.size())));
    WriteWholeFile(paths.back() + "/swaymsg", std::string("#!/bin/sh\n") + body + "\n");
    fs::permissions(paths.back() + "/swaymsg", fs::perms::owner_all);
  }
  for (const auto& path : paths) {
    const ScopedEnvironment programs("PATH", path.c_str());
    EXPECT_FALSE(wallpaper->SetWallpaper(folder + "/picture.bmp", nullptr)) << path;
    EXPECT_EQ(platform::ReadRecordedWallpaper(), "/before.bmp");
    EXPECT_EQ(Copies(), before);
  }
  EXPECT_FALSE(wallpaper->SetWallpaper(folder + "/missing.bmp", nullptr));
  const ScopedEnvironment noDesktop("XDG_CURRENT_DESKTOP", nullptr);
  const ScopedEnvironment x11("DISPLAY", ":0");
  EXPECT_EQ(platform::CreateDesktopWallpaper()->Name(), "sway");
}

}  // namespace
}  // namespace lumora::test
