// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/desktop_wallpaper.h"
#include "platform/hot_keys.h"
#include "platform/instance_mutex.h"
#include "platform/notification_icon.h"
#include "platform/screen_saver_guard.h"
#include "platform/session_end.h"

namespace lumora::platform {

// Backends for a facility the session or the system does not offer. Each keeps the interface's contract
// the way "not available" is written there, so the program runs on and says what it cannot do instead of
// failing halfway. The backends of a real system fall back on them at run time (no X server, a Wayland
// desktop we cannot talk to); a system without backends of its own runs on them alone.

// A desktop whose wallpaper cannot be set: every change is refused; name says which desktop it is.
std::unique_ptr<DesktopWallpaper> CreateNullDesktopWallpaper(std::string name);

// No window system to check for: reports it reachable and leaves it to the window toolkit to fail.
bool NullWindowSystemAvailable(std::string& why);

// Hot keys where the session cannot have any: every registration fails.
std::unique_ptr<GlobalHotKeys> CreateNullHotKeys();

// No named mutexes: every start owns its own, so a second copy is not detected and runs.
MutexResult CreateNullInstanceMutex(const std::string& name);

// No notification area: the icon is refused and no host ever appears.
std::unique_ptr<NotificationIcon> CreateNullNotificationIcon();

// No screen-saver requests to see: the guard is inactive and never calls its handler.
std::unique_ptr<ScreenSaverGuard> CreateNullScreenSaverGuard();

// No way to hear the session end: nothing is watched (nullptr), the system's defaults end the program.
std::unique_ptr<SessionEndWatch> WatchSessionEndNull();

// No opener for addresses and files: always false.
bool NullShellOpen(const std::string& target);

}  // namespace lumora::platform
