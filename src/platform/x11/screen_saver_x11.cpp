// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <cstdint>

#include "platform/screen_saver_guard.h"

// Xlib after Qt: its macros (Status, None, Bool…) would break Qt's headers.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace lumora::platform {

namespace {

// The server's screen saver tells us when it turns on (MIT-SCREEN-SAVER notify events on the root
// window). That is the X11 counterpart of a request to start it: refusing means turning it off again at
// once, before anything else happens.
class X11ScreenSaverGuard final : public ScreenSaverGuard, public QAbstractNativeEventFilter {
 public:
  X11ScreenSaverGuard(Display* display, int eventBase, RequestHandler handler)
      : display_(display), eventBase_(eventBase), handler_(std::move(handler)) {
    XScreenSaverSelectInput(display_, DefaultRootWindow(display_), ScreenSaverNotifyMask);
    XFlush(display_);
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~X11ScreenSaverGuard() override {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    XScreenSaverSelectInput(display_, DefaultRootWindow(display_), 0);
    XFlush(display_);
  }

  bool Active() const override { return true; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t") return false;
    // xcb_screensaver_notify_event_t: response type, then the new state in the second byte.
    const auto* bytes = static_cast<const std::uint8_t*>(message);
    if ((bytes[0] & 0x7f) != eventBase_ + ScreenSaverNotify) return false;
    if (bytes[1] != ScreenSaverOn) return false;
    if (handler_()) {
      XForceScreenSaver(display_, ScreenSaverReset);
      XFlush(display_);
    }
    return true;
  }

 private:
  Display* display_;
  int eventBase_;
  RequestHandler handler_;
};

// Sessions without an X server or without the extension cannot see the screen saver at all.
class BlindScreenSaverGuard final : public ScreenSaverGuard {
 public:
  bool Active() const override { return false; }
};

}  // namespace

std::unique_ptr<ScreenSaverGuard> CreateScreenSaverGuard(ScreenSaverGuard::RequestHandler handler) {
  auto* x11 = qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 == nullptr ? nullptr : x11->display();
  int eventBase = 0;
  int errorBase = 0;
  if (display == nullptr || !XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
    return std::make_unique<BlindScreenSaverGuard>();
  }
  return std::make_unique<X11ScreenSaverGuard>(display, eventBase, std::move(handler));
}

}  // namespace lumora::platform
