// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop_registry.h"

#include <exception>

#include "toolkit/exceptions.h"
#include "toolkit/registry.h"

namespace lumora::platform {

namespace {

constexpr char kDesktopKey[] = "\\Control Panel\\desktop";

TRegistry OpenForWriting(const std::string& firstValue) {
  TRegistry registry;
  registry.RootKey = HKEY_CURRENT_USER;
  if (!registry.OpenKey(kDesktopKey, true)) {
    throw ERegistryException("Failed to set data for '" + firstValue + "'");
  }
  return registry;
}

std::string ReadValue(const std::string& name) {
  try {
    TRegistry registry;
    registry.RootKey = HKEY_CURRENT_USER;
    if (!registry.OpenKey(kDesktopKey, false)) return {};
    return registry.ReadString(name);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

DisplayStylePair ReadRegistryStylePair() {
  return {ReadValue("TileWallPaper"), ReadValue("WallpaperStyle")};
}

void WriteRegistryStylePair(const DisplayStylePair& pair) {
  TRegistry registry = OpenForWriting("TileWallPaper");
  registry.WriteString("TileWallPaper", pair.tileWallPaper);
  registry.WriteString("WallpaperStyle", pair.wallpaperStyle);
}

std::string ReadRecordedWallpaper() {
  return ReadValue("Wallpaper");
}

void WriteRecordedWallpaper(const std::string& fileName) {
  OpenForWriting("Wallpaper").WriteString("Wallpaper", fileName);
}

bool StoreKeptWallpaper::SetWallpaper(const std::string& bmpFile, const PixelRows* picture) {
  return Show(bmpFile, picture, StyleOfPair(ReadStyle())) && Record(bmpFile);
}

bool StoreKeptWallpaper::SetWallpaperWhileWritten(const std::string& bmpFile, const PixelRows& picture,
                                                  const std::function<bool()>& fileWritten) {
  return ShowWhileWritten(bmpFile, picture, StyleOfPair(ReadStyle()), fileWritten) && Record(bmpFile);
}

bool StoreKeptWallpaper::Record(const std::string& bmpFile) {
  try {
    WriteRecordedWallpaper(bmpFile);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool StoreKeptWallpaper::Reapply() {
  const std::string recorded = ReadRecordedWallpaper();
  return !recorded.empty() && Show(recorded, nullptr, StyleOfPair(ReadStyle()));
}

}  // namespace lumora::platform
