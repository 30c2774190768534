// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display.h"

namespace lumora::platform {

// Every Windows session has its desktop; a service without one is not where this program runs.
bool WindowSystemAvailable(std::string& why) {
  why.clear();
  return true;
}

}  // namespace lumora::platform
