// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

namespace {

class NoHotKeys final : public GlobalHotKeys {
 public:
  HotKeyResult Register(int, unsigned, unsigned) override { return HotKeyResult::NotOffered; }
  void Unregister(int) override {}
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateNullHotKeys() {
  return std::make_unique<NoHotKeys>();
}

}  // namespace lumora::platform
