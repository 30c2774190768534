// SPDX-License-Identifier: GPL-3.0-or-later
// The factories of a system that has no backends of its own yet: every facility is the null one, so the
// program builds and starts there and tells the user what it cannot do.
#include "platform/display.h"
#include "platform/instance_channel.h"
#include "platform/null/null_backends.h"
#include "platform/shell_open.h"

namespace lumora::platform {

std::unique_ptr<DesktopWallpaper> CreateDesktopWallpaper() {
  return CreateNullDesktopWallpaper("no desktop");
}

bool WindowSystemAvailable(std::string& why) {
  return NullWindowSystemAvailable(why);
}

std::unique_ptr<GlobalHotKeys> CreateGlobalHotKeys(GlobalHotKeys::PressHandler) {
  return CreateNullHotKeys();
}

MutexResult CreateInstanceMutex(const std::string& name) {
  return CreateNullInstanceMutex(name);
}

std::string InstanceChannel(const std::string& name, std::string&) {
  return name;
}

ChannelCheck CheckChannel(const std::string&, std::string&) {
  return ChannelCheck::Trusted;
}

std::unique_ptr<ScreenSaverGuard> CreateScreenSaverGuard(ScreenSaverGuard::RequestHandler) {
  return CreateNullScreenSaverGuard();
}

std::unique_ptr<SessionEndWatch> WatchSessionEnd(std::function<void()>, std::function<void()>) {
  return WatchSessionEndNull();
}

bool ShellOpen(const std::string& target) {
  return NullShellOpen(target);
}

}  // namespace lumora::platform
