// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"
#include "platform/session_end.h"

namespace lumora::platform {

// Windows asks every top-level window before the session ends (WM_QUERYENDSESSION). Qt answers it for the
// program's windows and raises QGuiApplication::commitDataRequest, which the program already takes as its
// end; WM_ENDSESSION then ends the process. Nothing is left to watch here, and no library ends the process
// behind the program's back.
std::unique_ptr<SessionEndWatch> WatchSessionEnd(std::function<void()>, std::function<void()>) {
  return WatchSessionEndNull();
}

}  // namespace lumora::platform
