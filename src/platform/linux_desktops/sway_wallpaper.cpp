// SPDX-License-Identifier: GPL-3.0-or-later
// sway keeps no wallpaper setting for other programs to write, and has no root window to paint: its
// "output <name> bg <file> <mode>" command has swaybg draw a file on the outputs. We send that command to
// every output ('*') with swaymsg, which finds the running sway by SWAYSOCK (or asks sway itself), and keep
// the style pair and the wallpaper's path in our own store, as on a bare X session. Compositors that
// answer sway's IPC take the same command.
// What sway 1.7 does with the file name, and why it is never given the user's own path:
// - The command goes through sway's command parser (split at ';', ',' and blanks, "$name" replaced by
//   config variables, quotes stripped) and the file name then through wordexp(3) with command substitution
//   on: a picture folder named "my pictures" is cut in two, one named "$(…)" would run. So sway gets a
//   copy under a name of ours, in the user's runtime directory, made of characters none of that touches.
// - Each bg command ends the running swaybg and starts a new one, even for the name it already shows, and
//   that swaybg reads the file once it has started, after swaymsg has returned. The copy is new for every
//   apply (a fresh name, the copies before it removed once sway has taken it): swaybg never reads a file
//   while Lumora writes the next picture over it, and the same wallpaper file set twice reaches sway as
//   two names, so nothing rests on sway (or a later version of it) reloading a name it has seen.
// - sway answers success for a file that does not exist (it only logs), so a file that cannot be copied
//   fails here, before sway is asked.
// - swaymsg exits non-zero when sway refuses the command (its JSON reply then says why) or cannot be
//   reached; every such refusal, a missing swaymsg and one that does not end in time make the apply fail.
#include <glib.h>
#include <stdlib.h>
#include <unistd.h>

#include <QProcess>
#include <algorithm>
#include <filesystem>

#include "platform/desktop_registry.h"
#include "platform/linux_desktops/desktop_common.h"
#include "platform/linux_desktops/linux_desktops.h"
#include "platform/posix/runtime_directory.h"

namespace lumora::platform {

namespace {

constexpr const char* kCopyPrefix = "lumora-wallpaper-";
constexpr const char* kCopySuffix = ".bmp";
constexpr int kTimeoutMs = 5000;

const char* ModeOf(DisplayStyle style) {
  switch (style) {
    case DisplayStyle::Stretched:
      return "stretch";
    case DisplayStyle::Tiled:
      return "tile";
    case DisplayStyle::Centred:
      break;
  }
  return "center";
}

// Characters that sway's parser, its variables and wordexp all leave as they are.
bool PlainPath(const std::string& path) {
  return std::all_of(path.begin(), path.end(), [](char c) {
    return g_ascii_isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-';
  });
}

// The sway command's exit status, or false when swaymsg is missing or does not end in time.
bool SwayTakes(const QStringList& arguments) {
  QProcess swaymsg;
  swaymsg.setStandardOutputFile(QProcess::nullDevice());
  swaymsg.setStandardErrorFile(QProcess::nullDevice());
  swaymsg.start(QStringLiteral("swaymsg"), arguments);
  if (!swaymsg.waitForStarted(kTimeoutMs)) return false;
  if (!swaymsg.waitForFinished(kTimeoutMs)) {
    swaymsg.kill();
    swaymsg.waitForFinished();
    return false;
  }
  return swaymsg.exitStatus() == QProcess::NormalExit && swaymsg.exitCode() == 0;
}

// A copy of bmpFile under a fresh plain name in the runtime directory; empty when it cannot be made, or
// when the runtime directory's own path has characters sway would read as more than a name (never so for
// the /run/user/<uid> that session managers give).
std::string FreshCopy(const std::string& bmpFile) {
  std::string error;
  const std::string directory = RuntimeDirectory(error);
  if (directory.empty() || !desktops::ReadableFile(bmpFile)) return {};
  std::string name = directory + "/" + kCopyPrefix + "XXXXXX" + kCopySuffix;
  if (!PlainPath(name)) return {};
  const int fd = ::mkstemps(name.data(), static_cast<int>(std::char_traits<char>::length(kCopySuffix)));
  if (fd < 0) return {};
  ::close(fd);
  std::error_code failed;
  std::filesystem::copy_file(bmpFile, name, std::filesystem::copy_options::overwrite_existing, failed);
  if (failed) {
    std::filesystem::remove(name, failed);
    return {};
  }
  return name;
}

// Every copy of ours in the copy's folder but keep.
void RemoveCopiesBut(const std::string& keep) {
  namespace fs = std::filesystem;
  const fs::path kept(keep);
  std::error_code failed;
  for (const auto& entry : fs::directory_iterator(kept.parent_path(), failed)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(kCopyPrefix) && name.ends_with(kCopySuffix) && name != kept.filename()) {
      fs::remove(entry.path(), failed);
    }
  }
}

class SwayWallpaper final : public StoreKeptWallpaper {
 public:
  std::string Name() const override { return "sway"; }

 private:
  bool Show(const std::string& bmpFile, const PixelRows*, DisplayStyle style) override {
    const std::string copy = FreshCopy(bmpFile);
    if (copy.empty()) return false;
    if (!SwayTakes({"output", "*", "bg", QString::fromStdString(copy), QString::fromLatin1(ModeOf(style))})) {
      // sway still shows the copy before this one, which stays.
      std::error_code ignored;
      std::filesystem::remove(copy, ignored);
      return false;
    }
    RemoveCopiesBut(copy);
    return true;
  }
};

}  // namespace

std::unique_ptr<DesktopWallpaper> CreateSwayWallpaper() {
  return std::make_unique<SwayWallpaper>();
}

}  // namespace lumora::platform
