// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/hot_keys_null.h"

namespace lumora::platform {

namespace {

// A session without X11 (Wayland without a portal we support): no combination can be registered.
class NoHotKeys final : public GlobalHotKeys {
 public:
  bool Register(int, unsigned, unsigned) override { return false; }
  void Unregister(int) override {}
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateNullHotKeys() {
  return std::make_unique<NoHotKeys>();
}

}  // namespace lumora::platform
