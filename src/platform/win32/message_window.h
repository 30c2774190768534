// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <functional>

namespace lumora::platform {

// A hidden message-only window of the calling thread, for the system messages that come to a window
// handle (WM_HOTKEY). Its messages arrive through the thread's message loop, which on the user-interface
// thread is Qt's. The handler says whether it took the message; what it does not take gets the default
// processing.
class MessageWindow {
 public:
  using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam)>;
  explicit MessageWindow(Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // nullptr when the system refused to create the window.
  HWND Handle() const { return window_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Handler handler_;
  HWND window_ = nullptr;
};

}  // namespace lumora::platform
