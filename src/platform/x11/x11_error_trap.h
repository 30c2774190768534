// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>

namespace lumora::platform {

// Collects the errors of the requests sent on one display while it lives. Xlib's error handler is a
// process-wide function whose default ends the program, so errors that are not ours (another display, or
// requests sent before this scope began) go on to whatever handler was installed before: Qt's own,
// usually. Qt's connection lets Xlib keep the errors of Xlib's requests (they are sent checked), so they
// reach this handler, not Qt's event queue. Traps nest; use them on one thread at a time.
class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* display) : display_(display) {
    // Errors still due for earlier requests belong to whoever sent them; and only after a round trip is
    // Xlib's request count up to date with what went out through XCB.
    XSync(display_, False);
    firstSerial_ = NextRequest(display_);
    outer_ = active_;
    active_ = this;
    previous_ = XSetErrorHandler(&X11ErrorTrap::Handle);
  }
  ~X11ErrorTrap() {
    XSetErrorHandler(previous_);
    active_ = outer_;
  }
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // Waits until the server has answered everything sent so far; true when a request of ours failed since
  // the trap was set or last told to forget.
  bool Failed() {
    XSync(display_, False);
    return failed_;
  }
  void Forget() { failed_ = false; }

 private:
  static int Handle(Display* display, XErrorEvent* error) {
    X11ErrorTrap* trap = active_;
    if (trap != nullptr && display == trap->display_ && error->serial >= trap->firstSerial_) {
      trap->failed_ = true;
      return 0;
    }
    XErrorHandler previous = trap != nullptr ? trap->previous_ : nullptr;
    return previous != nullptr ? previous(display, error) : 0;
  }

  static inline X11ErrorTrap* active_ = nullptr;
  Display* display_;
  unsigned long firstSerial_ = 0;
  X11ErrorTrap* outer_ = nullptr;
  XErrorHandler previous_ = nullptr;
  bool failed_ = false;
};

}  // namespace lumora::platform
