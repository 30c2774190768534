// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

std::unique_ptr<SessionEndWatch> WatchSessionEndNull() {
  return nullptr;
}

}  // namespace lumora::platform
