// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

namespace {

class NoScreenSaverRequests final : public ScreenSaverGuard {
 public:
  bool Active() const override { return false; }
};

}  // namespace

std::unique_ptr<ScreenSaverGuard> CreateNullScreenSaverGuard() {
  return std::make_unique<NoScreenSaverRequests>();
}

}  // namespace lumora::platform
