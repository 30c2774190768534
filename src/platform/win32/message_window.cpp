// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/message_window.h"

#include <utility>

namespace lumora::platform {

namespace {

constexpr const char* kClassName = "LumoraMessageWindow";

HINSTANCE ThisModule() {
  return ::GetModuleHandleA(nullptr);
}

// One class for every message window of the process, registered on first use.
bool RegisterClassOnce() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ThisModule();
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

MessageWindow::MessageWindow(Handler handler) : handler_(std::move(handler)) {
  if (!RegisterClassOnce()) return;
  window_ = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
  if (window_ == nullptr) return;
  // The procedure is set only now, with the object to call stored first, so it never sees a window
  // without its owner.
  ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageWindow::Procedure));
}

MessageWindow::~MessageWindow() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

LRESULT CALLBACK MessageWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr && message != WM_DESTROY && self->handler_(message, wParam, lParam)) return 0;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace lumora::platform
