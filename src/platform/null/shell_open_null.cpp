// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

bool NullShellOpen(const std::string&) {
  return false;
}

}  // namespace lumora::platform
