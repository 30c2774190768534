// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <winsock2.h>
// windows.h after winsock2.h, which it would otherwise replace with the old winsock.h.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/connection_probe.h"
#include "platform/desktop_wallpaper.h"
#include "platform/hot_keys.h"
#include "platform/instance_mutex.h"
#include "toolkit/bitmap.h"
#include "toolkit/pixel_rows.h"

namespace lumora::platform {
namespace {

std::string RecordedWallpaper() {
  std::vector<char> path(MAX_PATH + 1, '\0');
  if (!::SystemParametersInfoA(SPI_GETDESKWALLPAPER, static_cast<UINT>(path.size()), path.data(), 0))
    return "?";
  return path.data();
}

std::string DesktopValue(const char* name) {
  char value[64] = {};
  DWORD size = sizeof value;
  if (::RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
    return "?";
  return value;
}

TEST(DesktopWallpaperWin32, SetsTheFileRecordsTheStylePairAndSetsTheRecordedFileAgain) {
  char folder[MAX_PATH] = {};
  ASSERT_GT(::GetTempPathA(MAX_PATH, folder), 0u);
  const std::string bmp = std::string(folder) + "lumora-wallpaper-test.bmp";
  TBitmap picture;
  picture.SetSize(8, 4);
  picture.SaveToFile(bmp);

  const auto desktop = CreateDesktopWallpaper();
  desktop->WriteStyle(kTiledPair);
  EXPECT_EQ(DesktopValue("TileWallpaper"), "1");
  EXPECT_EQ(DesktopValue("WallpaperStyle"), "0");
  EXPECT_EQ(desktop->ReadStyle(), kTiledPair);
  desktop->WriteStyle(kStretchedPair);
  EXPECT_EQ(StyleOfPair(desktop->ReadStyle()), DisplayStyle::Stretched);

  const PixelRows rows = RowsOf(picture);
  ASSERT_TRUE(desktop->SetWallpaper(bmp, &rows));
  EXPECT_EQ(RecordedWallpaper(), bmp);
  // A new style shows the same file again rather than the system's default picture.
  ASSERT_TRUE(desktop->Reapply());
  EXPECT_EQ(RecordedWallpaper(), bmp);
  std::remove(bmp.c_str());
}

TEST(GlobalHotKeysWin32, ACombinationHeldElsewhereIsRefusedUntilItIsReleased) {
  std::vector<int> pressed;
  const auto first = CreateGlobalHotKeys([&](int id) { pressed.push_back(id); });
  const auto second = CreateGlobalHotKeys([](int) {});
  ASSERT_EQ(first->Register(2000, kModControl, 'Q'), HotKeyResult::Registered);
  EXPECT_EQ(second->Register(2000, kModControl, 'Q'), HotKeyResult::Taken);
  EXPECT_EQ(first->Register(2001, kModControl, 'Q'), HotKeyResult::Taken);
  EXPECT_EQ(second->Register(2000, kModControl | kModAlt, 'Q'), HotKeyResult::Registered);
  first->Unregister(2000);
  EXPECT_EQ(second->Register(2000, kModControl, 'Q'), HotKeyResult::Registered);
}

TEST(InstanceMutexWin32, ASecondCopyFindsTheNameTakenUntilTheFirstHasLetGo) {
  const std::string name = "Lumora test " + std::to_string(::GetCurrentProcessId());
  MutexResult first = CreateInstanceMutex(name);
  ASSERT_EQ(first.status, MutexCreation::Created) << first.error;
  MutexResult second = CreateInstanceMutex(name);
  EXPECT_EQ(second.status, MutexCreation::AlreadyExists);
  ASSERT_TRUE(second.handle);
  second.handle->Release();
  first.handle->Release();
  EXPECT_EQ(CreateInstanceMutex(name).status, MutexCreation::Created);
}

TEST(ConnectionProbeWin32, ReachesAListeningPortAndNotAClosedOne) {
  WSADATA data{};
  ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  int length = sizeof address;
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(::ntohs(address.sin_port)) + "/version.txt";
  EXPECT_TRUE(ConnectionAvailable(url));
  ::closesocket(listener);
  EXPECT_FALSE(ConnectionAvailable(url));
  ::WSACleanup();
}

}  // namespace
}  // namespace lumora::platform
