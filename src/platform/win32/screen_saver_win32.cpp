// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <utility>

#include "platform/screen_saver_guard.h"

namespace lumora::platform {

namespace {

// The system asks the foreground window before it starts the screen saver: WM_SYSCOMMAND with
// SC_SCREENSAVE. Taking the message without passing it on is the refusal. The whole command value is
// compared, as the request comes with nothing in its low bits.
class Win32ScreenSaverGuard final : public ScreenSaverGuard, public QAbstractNativeEventFilter {
 public:
  explicit Win32ScreenSaverGuard(RequestHandler handler) : handler_(std::move(handler)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~Win32ScreenSaverGuard() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

  bool Active() const override { return true; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
    if (eventType != "windows_generic_MSG") return false;
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_SYSCOMMAND || msg->wParam != SC_SCREENSAVE) return false;
    if (!handler_()) return false;
    *result = 0;
    return true;
  }

 private:
  RequestHandler handler_;
};

class BlindScreenSaverGuard final : public ScreenSaverGuard {
 public:
  bool Active() const override { return false; }
};

}  // namespace

std::unique_ptr<ScreenSaverGuard> CreateScreenSaverGuard(ScreenSaverGuard::RequestHandler handler) {
  if (QCoreApplication::instance() == nullptr) return std::make_unique<BlindScreenSaverGuard>();
  return std::make_unique<Win32ScreenSaverGuard>(std::move(handler));
}

}  // namespace lumora::platform
