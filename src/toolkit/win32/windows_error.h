// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora {

// The system's own words for a Win32 error number (GetLastError), without the line break it ends them
// with; "Error <n>" when the system has none.
std::string WindowsErrorText(unsigned long error);

}  // namespace lumora
