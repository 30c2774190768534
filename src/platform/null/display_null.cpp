// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

bool NullWindowSystemAvailable(std::string& why) {
  why.clear();
  return true;
}

}  // namespace lumora::platform
