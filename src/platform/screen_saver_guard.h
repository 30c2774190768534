// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

namespace lumora::platform {

// Delivers the system's requests to start the screen saver to the main window, on the user-interface
// thread. The handler returns true when it refuses the request; the screen saver is then kept off.
// Sessions whose screen saver never asks (a desktop's own idle watch, a screen-saver program) are told up
// front instead: SetInhibited holds them off for as long as the window wants the screen saver refused.
class ScreenSaverGuard {
 public:
  using RequestHandler = std::function<bool()>;
  virtual ~ScreenSaverGuard() = default;
  // False when this session has no way to see the requests (no X server, no MIT-SCREEN-SAVER) and holds
  // nothing off.
  virtual bool Active() const = 0;
  // Whether the window refuses the screen saver now. A guard whose system asks at each request, through
  // the handler, has nothing to hold; one that holds something gives it back here and when it is destroyed.
  virtual void SetInhibited(bool /*inhibited*/) {}
};

std::unique_ptr<ScreenSaverGuard> CreateScreenSaverGuard(ScreenSaverGuard::RequestHandler handler);

}  // namespace lumora::platform
