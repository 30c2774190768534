// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <cstdint>

#include "platform/linux_desktops/idle_inhibition.h"
#include "platform/screen_saver_guard.h"

// Xlib after Qt: its macros (Status, None, Bool…) would break Qt's headers.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace lumora::platform {

namespace {

// The server's screen saver tells us when it turns on (MIT-SCREEN-SAVER notify events on the root
// window). That is the X11 counterpart of a request to start it: refusing means turning it off again at
// once, before anything else happens.
class X11ScreenSaverRefusal final : public QAbstractNativeEventFilter {
 public:
  X11ScreenSaverRefusal(Display* display, int eventBase, ScreenSaverGuard::RequestHandler handler)
      : display_(display), eventBase_(eventBase), handler_(std::move(handler)) {
    XScreenSaverSelectInput(display_, DefaultRootWindow(display_), ScreenSaverNotifyMask);
    XFlush(display_);
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~X11ScreenSaverRefusal() override {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    XScreenSaverSelectInput(display_, DefaultRootWindow(display_), 0);
    XFlush(display_);
  }
  X11ScreenSaverRefusal(const X11ScreenSaverRefusal&) = delete;
  X11ScreenSaverRefusal& operator=(const X11ScreenSaverRefusal&) = delete;

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
  ScreenSaverGuard::RequestHandler handler_;
};

// The X server's own screen saver is refused as it turns on. The desktops' idle watches and screen-saver
// programs switch that one off and never ask: while the window wants the screen saver refused, they are
// held off from the start, through the first service on the session bus that answers. Where xscreensaver
// runs, its idle timer is also reset at the pace of its own time-out: its D-Bus helper does that only about
// once a minute, and a shorter time-out would blank the screen in between.
class LinuxScreenSaverGuard final : public ScreenSaverGuard {
 public:
  explicit LinuxScreenSaverGuard(std::unique_ptr<X11ScreenSaverRefusal> refusal)
      : refusal_(std::move(refusal)) {}

  bool Active() const override {
    return refusal_ != nullptr || onBus_ != nullptr || xscreensaver_ != nullptr;
  }

  void SetInhibited(bool inhibited) override {
    if (!inhibited) {
      onBus_.reset();
      xscreensaver_.reset();
    } else if (onBus_ == nullptr && xscreensaver_ == nullptr) {
      onBus_ = desktops::InhibitIdleOnSessionBus();
      xscreensaver_ = desktops::InhibitXScreenSaver();
    }
  }

 private:
  std::unique_ptr<X11ScreenSaverRefusal> refusal_;
  std::unique_ptr<desktops::IdleInhibition> onBus_;
  std::unique_ptr<desktops::IdleInhibition> xscreensaver_;
};

}  // namespace

std::unique_ptr<ScreenSaverGuard> CreateScreenSaverGuard(ScreenSaverGuard::RequestHandler handler) {
  auto* x11 = qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 == nullptr ? nullptr : x11->display();
  int eventBase = 0;
  int errorBase = 0;
  std::unique_ptr<X11ScreenSaverRefusal> refusal;
  // Sessions without an X server or without the extension cannot see the server's screen saver at all.
  if (display != nullptr && XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
    refusal = std::make_unique<X11ScreenSaverRefusal>(display, eventBase, std::move(handler));
  }
  return std::make_unique<LinuxScreenSaverGuard>(std::move(refusal));
}

}  // namespace lumora::platform
