// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/hot_keys.h"
#include "platform/null/null_backends.h"
#include "platform/win32/message_window.h"

namespace lumora::platform {

// The interface's modifier bits are the system's own.
static_assert(kModAlt == MOD_ALT && kModControl == MOD_CONTROL && kModShift == MOD_SHIFT);

namespace {

// RegisterHotKey on a window of ours: the system refuses a combination any window holds, ours included,
// and posts WM_HOTKEY with the identifier for every press.
class Win32HotKeys final : public GlobalHotKeys {
 public:
  explicit Win32HotKeys(PressHandler pressed)
      : pressed_(std::move(pressed)), window_([this](UINT message, WPARAM wParam, LPARAM) {
          if (message != WM_HOTKEY) return false;
          pressed_(static_cast<int>(wParam));
          return true;
        }) {}
  ~Win32HotKeys() override {
    for (const int id : registered_) ::UnregisterHotKey(window_.Handle(), id);
  }

  bool Available() const { return window_.Handle() != nullptr; }

  HotKeyResult Register(int id, unsigned modifiers, unsigned virtualKey) override {
    if (!::RegisterHotKey(window_.Handle(), id, modifiers, virtualKey)) return HotKeyResult::Taken;
    registered_.push_back(id);
    return HotKeyResult::Registered;
  }

  // One call releases one combination of the identifier.
  void Unregister(int id) override {
    for (auto held = std::count(registered_.begin(), registered_.end(), id); held > 0; --held)
      ::UnregisterHotKey(window_.Handle(), id);
    std::erase(registered_, id);
  }

 private:
  PressHandler pressed_;
  MessageWindow window_;
  std::vector<int> registered_;
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateGlobalHotKeys(GlobalHotKeys::PressHandler pressed) {
  auto hotKeys = std::make_unique<Win32HotKeys>(std::move(pressed));
  if (!hotKeys->Available()) return CreateNullHotKeys();
  return hotKeys;
}

}  // namespace lumora::platform
