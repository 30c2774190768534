// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

namespace lumora::platform {

// Delivers the system's requests to start the screen saver to the main window, on the user-interface
// thread. The handler returns true when it refuses the request; the screen saver is then kept off.
class ScreenSaverGuard {
 public:
  using RequestHandler = std::function<bool()>;
  virtual ~ScreenSaverGuard() = default;
  // False when this session has no way to see the requests (no X server, no MIT-SCREEN-SAVER).
  virtual bool Active() const = 0;
};

std::unique_ptr<ScreenSaverGuard> CreateScreenSaverGuard(ScreenSaverGuard::RequestHandler handler);

}  // namespace lumora::platform
