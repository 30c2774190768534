// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <glib.h>
#include <unistd.h>

#include <charconv>
#include <optional>
#include <string>

#include "platform/desktop_wallpaper.h"

namespace lumora::platform::desktops {

// A pair that is not one of the three but came from ReadStyle ("" and the desktop's own value) is
// written back as that value, so reading and writing again leaves a zoomed or spanned desktop as it was.
inline bool IsDesktopOwnValue(const DisplayStylePair& pair) {
  return pair.tileWallPaper.empty() && !pair.wallpaperStyle.empty();
}

// The desktop's own number in a pair from ReadStyle ("" and "5"); nullopt for any other pair.
inline std::optional<int> DesktopOwnNumber(const DisplayStylePair& pair) {
  if (!IsDesktopOwnValue(pair)) return std::nullopt;
  const char* end = pair.wallpaperStyle.data() + pair.wallpaperStyle.size();
  int number = 0;
  const auto [rest, error] = std::from_chars(pair.wallpaperStyle.data(), end, number);
  if (error != std::errc() || rest != end) return std::nullopt;
  return number;
}

// A desktop value with no pair of its own: none of the three, and written back unchanged by WriteStyle.
inline DisplayStylePair DesktopOwnPair(const std::string& value) {
  return {"", value};
}

// The failure WriteStyle raises for a style the desktop did not take.
[[noreturn]] inline void StyleNotWritten(const std::string& reason, bool unanswered = false) {
  if (unanswered) throw EDesktopNoAnswer("The desktop did not answer: " + reason);
  throw ERegistryException("Failed to set data for 'TileWallPaper': " + reason);
}

// The same file under a second name: "./" before its last component. Desktops take a setting rewritten
// with its old value as no change at all (dconf and xfconfd do not even report it), so every apply first
// names the file this way and then by its plain name: two real changes, and both point at the new content.
inline std::string SecondSpelling(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return "./" + path;
  return path.substr(0, slash + 1) + "./" + path.substr(slash + 1);
}

// What every desktop would refuse anyway: a path that is not a file we can read.
inline bool ReadableFile(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), R_OK) == 0 &&
         g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR);
}

}  // namespace lumora::platform::desktops
