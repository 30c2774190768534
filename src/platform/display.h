// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora::platform {

// Whether the window system can be reached. On failure, why holds a one-line reason for the user.
bool WindowSystemAvailable(std::string& why);

}  // namespace lumora::platform
