// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <exception>
#include <vector>

#include "platform/desktop_registry.h"
#include "platform/desktop_wallpaper.h"

namespace lumora::platform {

namespace {

constexpr UINT kRecordAndTell = SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE;

// The desktop of Windows: it loads the BMP file itself, in the style the registry pair gives, records it
// as the user's wallpaper and tells the other windows.
class Win32DesktopWallpaper final : public DesktopWallpaper {
 public:
  std::string Name() const override { return "Windows desktop"; }

  DisplayStylePair ReadStyle() override { return ReadRegistryStylePair(); }

  void WriteStyle(const DisplayStylePair& pair) override { WriteRegistryStylePair(pair); }

  bool SetWallpaper(const std::string& bmpFile, const PixelRows*) override {
    std::string path = bmpFile;
    return ::SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, path.data(), kRecordAndTell) != FALSE;
  }

  // Windows reads the style only when a wallpaper is set, so the recorded one is set again. A null path
  // would not do that: it means the system's default wallpaper.
  bool Reapply() override {
    std::vector<char> recorded(MAX_PATH + 1, '\0');
    if (!::SystemParametersInfoA(SPI_GETDESKWALLPAPER, static_cast<UINT>(recorded.size()), recorded.data(),
                                 0))
      return false;
    if (recorded[0] == '\0') return false;
    return ::SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, recorded.data(), kRecordAndTell) != FALSE;
  }
};

}  // namespace

std::unique_ptr<DesktopWallpaper> CreateDesktopWallpaper() {
  return std::make_unique<Win32DesktopWallpaper>();
}

}  // namespace lumora::platform
