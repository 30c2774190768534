// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

namespace lumora::platform::desktops {

// The session's idle watch held off: no screen saver, no blanking, no locking for idleness while the
// object lives; destroying it gives the inhibition back.
class IdleInhibition {
 public:
  virtual ~IdleInhibition() = default;
};

// Through the first service on the session bus that grants it: org.freedesktop.ScreenSaver (Plasma,
// xfce4-screensaver, xscreensaver-systemd), GNOME's session manager, the desktop portal. Only services that
// run are asked, none is started for it. nullptr when none grants it. The inhibition keeps a connection of
// its own, and the services also end it when that closes: a program that dies holds nothing.
std::unique_ptr<IdleInhibition> InhibitIdleOnSessionBus();

// xscreensaver: its idle timer is reset again and again, well within its time-out, as video players do
// (its D-Bus helper, where it runs, does so only about once a minute). nullptr when no xscreensaver
// answers on the display.
std::unique_ptr<IdleInhibition> InhibitXScreenSaver();

}  // namespace lumora::platform::desktops
